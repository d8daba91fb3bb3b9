// Positional helpers that treat a std::list like a 1-based array.
//
// Positions count from 1 (the first element) to size(); 0 in a result means "none", and 0, a
// negative position or one beyond the size is out of range as an argument: the operation then
// does nothing, or returns a value-initialised element. Elements compare with their own ==
// (value equality for numbers and texts, element by element for nested lists, identity for
// pointers, which may point to a class only declared so far).
#ifndef SUDZ_LISTS_LIST_HELPERS_H
#define SUDZ_LISTS_LIST_HELPERS_H

#include <list>
#include <ostream>

// Position of the first element equal to x; 0 when there is none.
template <typename T>
int item_where(std::list<T>& l, const T& x) {
  int position = 1;
  for (const T& element : l) {
    if (element == x) return position;
    ++position;
  }
  return 0;
}

// A copy of the element at position n; T() when n is out of range.
template <typename T>
T read_number(std::list<T>& l, int n) {
  int position = 1;
  for (const T& element : l) {
    if (position == n) return element;
    ++position;
  }
  return T();
}

// Assigns x to the element at position n; nothing when n is out of range.
template <typename T>
void replace_number(std::list<T>& l, int n, const T& x) {
  int position = 1;
  for (T& element : l) {
    if (position == n) {
      element = x;
      return;
    }
    ++position;
  }
}

// Erases the element at position n; nothing when n is out of range.
template <typename T>
void sup_number(std::list<T>& l, int n) {
  int position = 1;
  for (auto it = l.begin(); it != l.end(); ++it, ++position) {
    if (position == n) {
      l.erase(it);
      return;
    }
  }
}

// A new array (new T[size]) of copies of the elements in list order; null for an empty list.
// The caller owns the array and releases it with delete[].
template <typename T>
T* array_convert(std::list<T>& l) {
  if (l.empty()) return nullptr;
  T* array = new T[l.size()];
  T* out = array;
  for (const T& element : l) *out++ = element;
  return array;
}

// Writes "(", the elements separated by ", ", then ")": "(1, 2, 3)", "()" when empty, and
// "((1, 2), (3))" for nested lists. Texts appear without quotes. The stream is flushed after
// each element and at the end, so that partial output is seen if the program stops.
template <typename T>
std::ostream& operator<<(std::ostream& s, std::list<T>& l) {
  s << "(";
  bool first = true;
  for (T& element : l) {
    if (!first) s << ", ";
    first = false;
    s << element;
    s.flush();
  }
  s << ")";
  s.flush();
  return s;
}

#endif  // SUDZ_LISTS_LIST_HELPERS_H
