// List helpers for lists of double (and lists of such lists).
#ifndef SUDZ_LISTS_LIST_DOUBLE_H
#define SUDZ_LISTS_LIST_DOUBLE_H

#include <list>

#include "lists/list_helpers.h"

#endif  // SUDZ_LISTS_LIST_DOUBLE_H
