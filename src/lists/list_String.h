// List helpers for lists of std::string (and lists of such lists).
#ifndef SUDZ_LISTS_LIST_STRING_H
#define SUDZ_LISTS_LIST_STRING_H

#include <list>
#include <string>

#include "lists/list_helpers.h"

#endif  // SUDZ_LISTS_LIST_STRING_H
