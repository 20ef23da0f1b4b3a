#include <gtest/gtest.h>

#include "platform/db/Query.h"
#include "platform/db/Table.h"
#include "platform/db/Transaction.h"

TEST(DbApi, Compiles) {
  TTable t("Client");
  TQuery q("q");
  q.SQL.Add("SELECT 1");
  EXPECT_EQ(q.SQL.Count(), 1);
}
