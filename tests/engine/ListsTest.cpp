#include "engine/List.h"
#include "engine/QuickList.h"
#include "engine/StringList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <list>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace meridia {
namespace {

using Ints = std::vector<int>;

// Records its destruction, so tests can see who freed what and in which order.
class TrackedItem : public TzoQuickListItem {
public:
  TrackedItem(int id, Ints* destroyed) : Id(id), destroyed_(destroyed) {}
  ~TrackedItem() override { destroyed_->push_back(Id); }
  const int Id;

private:
  Ints* destroyed_;
};

class TrackedObject : public TObject {
public:
  explicit TrackedObject(int* destroyed) : destroyed_(destroyed) {}
  ~TrackedObject() override { ++*destroyed_; }

private:
  int* destroyed_;
};

// The ids from First to Last, after checking both walks against each other, Count, every
// Parent and the ends.
::testing::AssertionResult Walk(const TzoQuickList& list, Ints* ids) {
  std::vector<const TzoQuickListItem*> forward, backward;
  for (auto* item = list.First; item != nullptr && forward.size() <= 1u << 20; item = item->Next) {
    if (item->Parent != &list) {
      return ::testing::AssertionFailure() << "item with a foreign Parent";
    }
    forward.push_back(item);
  }
  for (auto* item = list.Last; item != nullptr && backward.size() <= 1u << 20; item = item->Prev) {
    backward.push_back(item);
  }
  if (forward.size() != static_cast<size_t>(list.Count) ||
      !std::equal(forward.begin(), forward.end(), backward.rbegin(), backward.rend())) {
    return ::testing::AssertionFailure() << "walks of " << forward.size() << " and "
                                         << backward.size() << " items, Count " << list.Count;
  }
  ids->clear();
  for (const TzoQuickListItem* item : forward) {
    ids->push_back(static_cast<const TrackedItem*>(item)->Id);
  }
  return ::testing::AssertionSuccess();
}

Ints Ids(const TzoQuickList& list) {
  Ints ids;
  EXPECT_TRUE(Walk(list, &ids));
  return ids;
}

class QuickListTest : public ::testing::Test {
protected:
  // Appends items with ids first_id, first_id + 1, ... and returns them.
  std::vector<TrackedItem*> Fill(TzoQuickList& list, int n, int first_id = 0) {
    std::vector<TrackedItem*> items;
    for (int i = 0; i < n; ++i) {
      items.push_back(new TrackedItem(first_id + i, &destroyed_));
      list.Append(items.back());
    }
    return items;
  }

  Ints destroyed_;
};

TEST_F(QuickListTest, ItemMoves) {
  using Move = void (TzoQuickListItem::*)();
  struct Case {
    const char* name;
    int moved;
    Move move;
    Ints expected;
  };
  const Case cases[] = {
      {"first up", 0, &TzoQuickListItem::Item_MoveToUp, {0, 1, 2, 3}},
      {"last down", 3, &TzoQuickListItem::Item_MoveToDown, {0, 1, 2, 3}},
      {"first to first", 0, &TzoQuickListItem::Item_MoveToFirst, {0, 1, 2, 3}},
      {"last to last", 3, &TzoQuickListItem::Item_MoveToLast, {0, 1, 2, 3}},
      {"second up", 1, &TzoQuickListItem::Item_MoveToUp, {1, 0, 2, 3}},
      {"last up", 3, &TzoQuickListItem::Item_MoveToUp, {0, 1, 3, 2}},
      {"first down", 0, &TzoQuickListItem::Item_MoveToDown, {1, 0, 2, 3}},
      {"third down", 2, &TzoQuickListItem::Item_MoveToDown, {0, 1, 3, 2}},
      {"to first", 2, &TzoQuickListItem::Item_MoveToFirst, {2, 0, 1, 3}},
      {"to last", 1, &TzoQuickListItem::Item_MoveToLast, {0, 2, 3, 1}},
  };
  for (const Case& c : cases) {
    TzoQuickList list;
    auto items = Fill(list, 4);
    (items[c.moved]->*c.move)();
    EXPECT_EQ(Ids(list), c.expected) << c.name;
  }
  TrackedItem loose(7, &destroyed_);
  for (const Case& c : cases) {
    (loose.*c.move)();
  }
  EXPECT_TRUE(loose.Parent == nullptr && loose.Next == nullptr && loose.Prev == nullptr);
}

TEST_F(QuickListTest, AppendingAnotherListsItemMovesIt) {
  TzoQuickList a, b;
  auto a_items = Fill(a, 3, 0);
  Fill(b, 2, 10);
  b.Append(a_items[1]);
  EXPECT_EQ(a.Count, 2);
  EXPECT_EQ(a_items[1]->Parent, &b);
  EXPECT_EQ(Ids(a), (Ints{0, 2}));
  EXPECT_EQ(Ids(b), (Ints{10, 11, 1}));
  b.Prepend(a_items[0]);
  b.InsertAfter(b.First, a_items[2]);
  EXPECT_EQ(Ids(a), Ints{});
  EXPECT_EQ(Ids(b), (Ints{0, 2, 10, 11, 1}));
}

TEST_F(QuickListTest, InsertAfter) {
  TzoQuickList list;
  auto items = Fill(list, 2);
  list.InsertAfter(nullptr, new TrackedItem(5, &destroyed_));
  list.InsertAfter(items[1], new TrackedItem(6, &destroyed_));
  list.InsertAfter(items[0], new TrackedItem(7, &destroyed_));
  EXPECT_EQ(Ids(list), (Ints{5, 0, 7, 1, 6}));
  list.InsertAfter(items[1], items[0]);
  EXPECT_EQ(Ids(list), (Ints{5, 7, 1, 0, 6}));
}

TEST_F(QuickListTest, RemoveUnlinksWithoutFreeing) {
  struct Case {
    const char* name;
    int count;
    int removed;
    Ints rest;
  };
  const Case cases[] = {{"first", 3, 0, {1, 2}},
                        {"middle", 3, 1, {0, 2}},
                        {"last", 3, 2, {0, 1}},
                        {"only", 1, 0, {}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    destroyed_.clear();
    TzoQuickList list;
    auto items = Fill(list, c.count);
    list.Remove(items[c.removed]);
    EXPECT_EQ(Ids(list), c.rest);
    EXPECT_TRUE(items[c.removed]->Parent == nullptr && items[c.removed]->Next == nullptr &&
                items[c.removed]->Prev == nullptr);
    EXPECT_TRUE(destroyed_.empty());
    delete items[c.removed];
  }
}

TEST_F(QuickListTest, ForeignItemsAreRefused) {
  TzoQuickList a, b;
  auto a_items = Fill(a, 2, 0);
  auto b_items = Fill(b, 2, 10);
  // These would corrupt both lists; release builds ignore them, debug builds stop.
  EXPECT_DEBUG_DEATH(a.Remove(b_items[0]), "TzoQuickList::Remove");
  EXPECT_DEBUG_DEATH(a.InsertAfter(b_items[0], a_items[1]), "TzoQuickList::InsertAfter");
  EXPECT_DEBUG_DEATH(a.InsertAfter(a_items[0], a_items[0]), "TzoQuickList::InsertAfter");
  EXPECT_EQ(Ids(a), (Ints{0, 1}));
  EXPECT_EQ(Ids(b), (Ints{10, 11}));
}

TEST_F(QuickListTest, DestructionFreesOwnedItems) {
  auto list = std::make_unique<TzoQuickList>();
  auto items = Fill(*list, 5);
  list->Remove(items[1]);
  delete items[3]; // leaves the list by itself
  EXPECT_EQ(Ids(*list), (Ints{0, 2, 4}));
  list.reset();
  EXPECT_EQ(destroyed_, (Ints{3, 4, 2, 0}));
  delete items[1];

  TzoQuickList plain;
  TzoQuickListItem* added = plain.AddNew();
  EXPECT_TRUE(plain.Count == 1 && plain.First == added && added->Parent == &plain);
}

// Random operations on two lists, checked after every step against std::list models.
TEST_F(QuickListTest, RandomOperationsKeepTheLinksSound) {
  std::mt19937 rng(20240611);
  TzoQuickList lists[2];
  std::list<int> models[2];
  std::vector<TrackedItem*> by_id;
  const auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
  const auto slot = [&](const TzoQuickListItem* item) {
    std::list<int>& model = models[item->Parent == &lists[0] ? 0 : 1];
    return std::make_pair(
        &model, std::find(model.begin(), model.end(), static_cast<const TrackedItem*>(item)->Id));
  };
  const auto random_item = [&](int l) -> TrackedItem* {
    return models[l].empty() ? nullptr
                             : by_id[*std::next(models[l].begin(), pick(models[l].size()))];
  };

  for (int step = 0; step < 5000; ++step) {
    const int l = static_cast<int>(pick(2));
    TrackedItem* item = random_item(l);
    const size_t op = pick(10);
    if (op <= 1 || item == nullptr) {
      by_id.push_back(new TrackedItem(static_cast<int>(by_id.size()), &destroyed_));
      if (op == 0) {
        lists[l].Append(by_id.back());
        models[l].push_back(by_id.back()->Id);
      } else {
        lists[l].Prepend(by_id.back());
        models[l].push_front(by_id.back()->Id);
      }
      continue;
    }
    auto [model, at] = slot(item);
    if (op == 2) { // into either list, after a random anchor or at the front
      const int target = static_cast<int>(pick(2));
      TrackedItem* after = pick(4) == 0 ? nullptr : random_item(target);
      if (after != item) {
        model->erase(at);
        lists[target].InsertAfter(after, item);
        models[target].insert(
            after == nullptr ? models[target].begin() : std::next(slot(after).second), item->Id);
      }
    } else if (op <= 4) {
      model->erase(at);
      if (op == 3) {
        lists[l].Remove(item);
      }
      delete item;
    } else if (op == 5) {
      model->splice(model->begin(), *model, at);
      item->Item_MoveToFirst();
    } else if (op == 6) {
      model->splice(model->end(), *model, at);
      item->Item_MoveToLast();
    } else if (op == 7) {
      if (at != model->begin()) {
        std::iter_swap(at, std::prev(at));
      }
      item->Item_MoveToUp();
    } else if (op == 8) {
      if (std::next(at) != model->end()) {
        std::iter_swap(at, std::next(at));
      }
      item->Item_MoveToDown();
    } else {
      model->erase(at);
      models[1 - l].push_back(item->Id);
      lists[1 - l].Append(item);
    }
    for (int k = 0; k < 2; ++k) {
      Ints ids;
      ASSERT_TRUE(Walk(lists[k], &ids)) << "step " << step << ", list " << k;
      ASSERT_EQ(ids, Ints(models[k].begin(), models[k].end())) << "step " << step;
    }
  }
  EXPECT_EQ(destroyed_.size() + models[0].size() + models[1].size(), by_id.size());
}

TEST(ListTest, CountAndItemsStayInStep) {
  TObject a, b, c, d, e;
  TzoList list;
  list.SetCount(2);
  EXPECT_EQ(list.Items, (std::vector<TObject*>{nullptr, nullptr}));
  list.SetCount(0);
  EXPECT_EQ(list.Add(&a), 0);
  EXPECT_EQ(list.Add(&b), 1);
  list.Insert(1, &c);  // between
  list.Insert(-5, &d); // before the first
  list.Insert(4, &e);  // at Count: appended
  list.Insert(99, &a);
  list.SetItem(-1, &b);
  list.SetItem(6, &b);
  EXPECT_EQ(list.Count, 6);
  EXPECT_EQ(list.Items, (std::vector<TObject*>{&d, &a, &c, &b, &e, &a}));
  EXPECT_DEBUG_DEATH(list.SetCount(-1), "TzoList::SetCount");
}

TEST(ListTest, FreeAllFreesEachObjectOnceAndKeepsCount) {
  int destroyed = 0;
  TzoList list;
  list.Add(new TrackedObject(&destroyed));
  list.Add(nullptr);
  list.Add(new TrackedObject(&destroyed));
  list.FreeAll();
  list.FreeAll();
  EXPECT_EQ(destroyed, 2);
  EXPECT_EQ(list.Items, (std::vector<TObject*>{nullptr, nullptr, nullptr}));
}

TEST(StringListTest, AddObjectDeleteAndFreeObjects) {
  int changes = 0, destroyed = 0;
  TObject b;
  TzoStringList list;
  list.OnChange = [&] { ++changes; };
  EXPECT_EQ(list.AddObject("one", new TrackedObject(&destroyed)), 0);
  EXPECT_EQ(list.AddObject("two", &b), 1);
  EXPECT_EQ(list.AddObject("three", new TrackedObject(&destroyed)), 2);
  list.Delete(-1);
  list.Delete(3);
  list.Delete(1);
  EXPECT_EQ(changes, 3);
  list.FreeObjects();
  EXPECT_EQ(destroyed, 2);
  ASSERT_EQ(list.Items.size(), 2u);
  EXPECT_EQ(list.Count, 2);
  EXPECT_TRUE(list.Items[0].Text == "one" && list.Items[0].Object == nullptr);
  EXPECT_EQ(list.Items[1].Text, "three");
}

TEST(StringListTest, IndexOf) {
  TObject a, b, c;
  TzoStringList list;
  list.AddObject("x", &a);
  list.AddObject("y", &b);
  list.AddObject("Y", &c);
  list.AddObject("y", &c);
  struct Case {
    const char* name;
    const char* text;
    const TObject* object;
    int32_t expected;
  };
  const Case cases[] = {{"both empty", "", nullptr, -1},     {"text only", "y", nullptr, 1},
                        {"case-sensitive", "Y", nullptr, 2}, {"object only", "", &c, 2},
                        {"text and object", "y", &c, 3},     {"another's text", "x", &b, -1},
                        {"absent text", "z", nullptr, -1}};
  for (const Case& c : cases) {
    EXPECT_EQ(list.IndexOf(c.text, c.object), c.expected) << c.name;
  }
}

TEST(StringListTest, AddTextCutsLines) {
  using Lines = std::vector<std::string>;
  struct Case {
    const char* name;
    std::string text;
    bool skip_blank;
    Lines expected;
  };
  const Case cases[] = {
      {"CR LF twice, skipping", "a\r\n\r\nb", true, {"a", "b"}},
      {"CR LF twice, keeping", "a\r\n\r\nb", false, {"a", "", "b"}},
      {"CR, LF", "a\rb\nc", false, {"a", "b", "c"}},
      {"LF CR is two breaks", "a\n\rb", false, {"a", "", "b"}},
      {"CR CR is two breaks", "a\r\rb", false, {"a", "", "b"}},
      {"trailing break adds nothing", "a\n", false, {"a"}},
      {"lone break", "\r\n", false, {""}},
      {"empty text", "", false, {}},
      {"kept lines stay untrimmed", "  x \r\n \t \r\n", true, {"  x "}},
      {"blank lines kept", "  x \r\n \t \r\n", false, {"  x ", " \t "}},
      {"control characters are blank", std::string("\0\x1f\ny", 4), true, {"y"}},
      {"high bytes are not blank", "\xA0\n", true, {"\xA0"}},
  };
  for (const Case& c : cases) {
    TzoStringList list;
    list.AddText(c.text, c.skip_blank);
    Lines texts;
    for (const TzoString& entry : list.Items) {
      texts.push_back(entry.Text);
      EXPECT_EQ(entry.Object, nullptr);
    }
    EXPECT_EQ(texts, c.expected) << c.name;
    EXPECT_EQ(list.Count, static_cast<int32_t>(c.expected.size())) << c.name;
  }
}

TEST(StringListTest, AddTextAppendsManyLinesAndFiresOnce) {
  TObject a;
  int changes = 0;
  TzoStringList list;
  list.AddObject("head", &a);
  list.OnChange = [&] { ++changes; };
  std::string text;
  for (int i = 0; i < 250; ++i) {
    text += "line " + std::to_string(i) + "\n";
  }
  list.AddText(text, true);
  list.AddText("", false);
  EXPECT_EQ(changes, 2);
  ASSERT_EQ(list.Count, 251);
  ASSERT_EQ(list.Items.size(), 251u);
  EXPECT_EQ(list.Items[0].Object, &a);
  EXPECT_EQ(list.Items[1].Text, "line 0");
  EXPECT_EQ(list.Items[250].Text, "line 249");
}

} // namespace
} // namespace meridia
