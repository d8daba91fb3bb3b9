// List helpers for lists of int (and lists of such lists).
#ifndef SUDZ_LISTS_LIST_INT_H
#define SUDZ_LISTS_LIST_INT_H

#include <list>

#include "lists/list_helpers.h"

#endif  // SUDZ_LISTS_LIST_INT_H
