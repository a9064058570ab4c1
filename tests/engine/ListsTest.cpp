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

// The ids from First to Last, after checking the walk back, Count and every Parent.
Ints Ids(const TzoQuickList& list) {
  Ints forward, backward;
  for (auto* item = list.First; item != nullptr && forward.size() <= 1u << 20; item = item->Next) {
    EXPECT_EQ(item->Parent, &list);
    forward.push_back(static_cast<const TrackedItem*>(item)->Id);
  }
  for (auto* item = list.Last; item != nullptr && backward.size() <= 1u << 20; item = item->Prev) {
    backward.insert(backward.begin(), static_cast<const TrackedItem*>(item)->Id);
  }
  EXPECT_EQ(forward, backward);
  EXPECT_EQ(forward.size(), static_cast<size_t>(list.Count));
  return forward;
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
  // An item in no list has nowhere to move.
  TrackedItem loose(7, &destroyed_);
  loose.Item_MoveToUp();
  loose.Item_MoveToDown();
  loose.Item_MoveToFirst();
  loose.Item_MoveToLast();
  EXPECT_TRUE(loose.Parent == nullptr && loose.Next == nullptr && loose.Prev == nullptr);
}

// Random operations on two lists, checked after every step against std::list models: moves
// at either end, inserts after nothing or across lists, removal without freeing.
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
    } else { // to an end of the other list
      model->erase(at);
      if (pick(2) == 0) {
        models[1 - l].push_back(item->Id);
        lists[1 - l].Append(item);
      } else {
        models[1 - l].push_front(item->Id);
        lists[1 - l].Prepend(item);
      }
    }
    for (int k = 0; k < 2; ++k) {
      ASSERT_EQ(Ids(lists[k]), Ints(models[k].begin(), models[k].end())) << "step " << step;
      ASSERT_FALSE(HasFailure()) << "step " << step << ", list " << k;
    }
  }
  EXPECT_EQ(destroyed_.size() + models[0].size() + models[1].size(), by_id.size());
}

TEST(ListTest, CountItemsAndFreeAll) {
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

  // FreeAll frees each object once, skips holes and keeps Count.
  int destroyed = 0;
  TzoList owner;
  owner.Add(new TrackedObject(&destroyed));
  owner.Add(nullptr);
  owner.Add(new TrackedObject(&destroyed));
  owner.FreeAll();
  owner.FreeAll();
  EXPECT_EQ(destroyed, 2);
  EXPECT_EQ(owner.Items, (std::vector<TObject*>{nullptr, nullptr, nullptr}));
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

  // AddText appends after what is there, firing OnChange once per call.
  std::string text;
  for (int i = 0; i < 250; ++i) {
    text += "line " + std::to_string(i) + "\n";
  }
  list.AddText(text, true);
  list.AddText("", false);
  EXPECT_EQ(changes, 5);
  ASSERT_EQ(list.Count, 252);
  ASSERT_EQ(list.Items.size(), 252u);
  EXPECT_EQ(list.Items[2].Text, "line 0");
  EXPECT_EQ(list.Items[251].Text, "line 249");
}

TEST(StringListTest, IndexOf) {
  TObject a, b, c;
  TzoStringList list;
  list.AddObject("x", &a);
  list.AddObject("y", &b);
  list.AddObject("Y", &c);
  list.AddObject("y", &c);
  const struct {
    const char *name, *text;
    const TObject* object;
    int32_t expected;
  } cases[] = {{"both empty", "", nullptr, -1},     {"text only", "y", nullptr, 1},
               {"case-sensitive", "Y", nullptr, 2}, {"object only", "", &c, 2},
               {"text and object", "y", &c, 3},     {"another's text", "x", &b, -1},
               {"absent text", "z", nullptr, -1}};
  for (const auto& c : cases) {
    EXPECT_EQ(list.IndexOf(c.text, c.object), c.expected) << c.name;
  }
}

TEST(StringListTest, AddTextCutsLines) {
  using Lines = std::vector<std::string>;
  const struct {
    const char* name;
    std::string text;
    bool skip_blank;
    Lines expected;
  } cases[] = {
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
  for (const auto& c : cases) {
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

} // namespace
} // namespace meridia
