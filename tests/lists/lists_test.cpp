#include "lists/list_String.h"
#include "lists/list_double.h"
#include "lists/list_int.h"

#include <gtest/gtest.h>

#include <cmath>
#include <list>
#include <sstream>
#include <string>

// Moving parts are only declared here: the helpers must work on pointers to an incomplete class.
class movepart;

namespace {

template <typename T>
std::string printed(std::list<T>& l) {
  std::ostringstream s;
  s << l;
  return s.str();
}

// The same checks for every element type; a, b, c are three different values.
template <typename T>
void check_positional(const T& a, const T& b, const T& c) {
  std::list<T> empty;
  EXPECT_EQ(item_where(empty, a), 0);
  EXPECT_EQ(read_number(empty, 1), T());
  EXPECT_EQ(array_convert(empty), nullptr);

  std::list<T> l{a, b, a};
  EXPECT_EQ(item_where(l, a), 1);
  EXPECT_EQ(item_where(l, b), 2);
  EXPECT_EQ(item_where(l, c), 0);

  const std::list<T> before = l;
  for (int n : {0, -1, 4, 100}) {
    EXPECT_EQ(read_number(l, n), T()) << n;
    replace_number(l, n, c);
    sup_number(l, n);
    EXPECT_EQ(l, before) << n;
  }
  EXPECT_EQ(read_number(l, 1), a);
  EXPECT_EQ(read_number(l, 2), b);
  EXPECT_EQ(read_number(l, 3), a);

  replace_number(l, 3, c);
  EXPECT_EQ(l, (std::list<T>{a, b, c}));
  T* array = array_convert(l);
  ASSERT_NE(array, nullptr);
  sup_number(l, 1);
  EXPECT_EQ(l, (std::list<T>{b, c}));
  sup_number(l, 2);
  EXPECT_EQ(l, (std::list<T>{b}));
  l.clear();
  // The copies outlive the changes to the list.
  EXPECT_EQ(array[0], a);
  EXPECT_EQ(array[1], b);
  EXPECT_EQ(array[2], c);
  delete[] array;
}

TEST(ListHelpers, PositionalOperationsOnEveryElementType) {
  check_positional<int>(1, 2, 3);
  check_positional<double>(1.5, -2.25, 0.0);
  check_positional<std::string>("x", "", "xy");
  check_positional<std::list<int>>({1, 2}, {3}, {1, 2, 3});
  check_positional<std::list<double>>({0.5}, {}, {0.5, 0.5});
  check_positional<std::list<std::string>>({"a", "b"}, {"ab"}, {""});
}

TEST(ListHelpers, NanNeverMatches) {
  std::list<double> l{1.0, std::nan(""), 2.0};
  EXPECT_EQ(item_where(l, std::nan("")), 0);
  EXPECT_EQ(item_where(l, 2.0), 3);
}

TEST(ListHelpers, PointersToDeclaredClass) {
  static char storage[3];
  movepart* p1 = reinterpret_cast<movepart*>(&storage[0]);
  movepart* p2 = reinterpret_cast<movepart*>(&storage[1]);
  movepart* p3 = reinterpret_cast<movepart*>(&storage[2]);
  std::list<movepart*> parts{p1, p2, p1, p3};
  EXPECT_EQ(item_where(parts, p1), 1);
  EXPECT_EQ(item_where(parts, p3), 4);
  // Taking one piece off: the first occurrence goes.
  sup_number(parts, item_where(parts, p1));
  EXPECT_EQ(parts, (std::list<movepart*>{p2, p1, p3}));
  // Absent: position 0, nothing removed.
  std::list<movepart*> others{p2};
  sup_number(others, item_where(others, p3));
  EXPECT_EQ(others.size(), 1u);
}

TEST(ListHelpers, Printing) {
  std::list<int> ints{1, 2, 3};
  std::list<int> no_ints;
  std::list<double> doubles{1.5, -2.0};
  std::list<std::string> strings{"a b", "", "\"q\""};
  std::list<std::list<int>> nested{{1, 2}, {3}, {}};
  std::list<std::list<std::string>> nested_strings{{"x"}, {"y", "z"}};
  std::list<std::list<double>> nested_doubles{};
  EXPECT_EQ(printed(ints), "(1, 2, 3)");
  EXPECT_EQ(printed(no_ints), "()");
  EXPECT_EQ(printed(doubles), "(1.5, -2)");
  EXPECT_EQ(printed(strings), "(a b, , \"q\")");
  EXPECT_EQ(printed(nested), "((1, 2), (3), ())");
  EXPECT_EQ(printed(nested_strings), "((x), (y, z))");
  EXPECT_EQ(printed(nested_doubles), "()");

  // The stream's own formatting applies to the elements.
  std::ostringstream s;
  s.precision(3);
  std::list<double> third{1.0 / 3};
  s << std::fixed << third;
  EXPECT_EQ(s.str(), "(0.333)");
}

// Counts the flushes that reach the buffer.
class CountingBuf : public std::stringbuf {
 public:
  int syncs = 0;

 protected:
  int sync() override {
    ++syncs;
    return std::stringbuf::sync();
  }
};

TEST(ListHelpers, PrintingFlushesAfterEachElementAndAtTheEnd) {
  CountingBuf buf;
  std::ostream s(&buf);
  std::list<int> ints{1, 2, 3};
  s << ints;
  EXPECT_EQ(buf.syncs, 4);
  EXPECT_EQ(buf.str(), "(1, 2, 3)");
  std::list<int> none;
  s << none;
  EXPECT_EQ(buf.syncs, 5);
}

}  // namespace
