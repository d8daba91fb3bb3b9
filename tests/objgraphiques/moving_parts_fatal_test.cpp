// The moving-part library's three broken limits end the process with status 1 and a message.
#include <gtest/gtest.h>

#include <vector>

#include "objgraphiques/movepart.h"

namespace {

TEST(MovingPartsFatal, AHundredPiecesFitTheHundredAndFirstEndsTheProcess) {
  movepart_manager m;
  std::vector<movepart> pieces(100);  // destroyed before the manager they unregister from
  for (movepart& p : pieces) p.define(m, nullptr, 0);
  EXPECT_EQ(m.part_count(), 100);
  movepart extra;
  EXPECT_EXIT(extra.define(m, nullptr, 0), ::testing::ExitedWithCode(1), "^too many part !\n$");
}

TEST(MovingPartsFatal, CollisionOfAnUnregisteredPiece) {
  movepart_manager m;
  movepart registered(m, nullptr, 0);
  movepart stranger;
  EXPECT_EXIT(m.collision(&stranger), ::testing::ExitedWithCode(1),
              "^collision: erreur interne !\n0x[0-9a-f]+\n$");
  EXPECT_EQ(m.collision(&registered), 0);
}

TEST(MovingPartsFatal, FirstXOfAPieceWithoutElements) {
  movepart_manager m;
  movepart empty(m, nullptr, 0);
  EXPECT_EXIT(empty.actual_precision_first_xpos(), ::testing::ExitedWithCode(1),
              "^ERREUR dans movepart::actual_precision_first_xpos\\(\\)\nLISTE DE 0x[0-9a-f]+ "
              "ANORMALEMENT VIDE !!!\n\n$");
}

}  // namespace
