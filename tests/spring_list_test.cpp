// The terminator-cell spring list and the point chain.

#include <algorithm>

#include "model/mass_point.h"
#include "model/spring.h"
#include "model/spring_list.h"
#include "sim/world.h"
#include "tests/test_support.h"

namespace {

class SpringListTest : public WorldTest {
protected:
    // n springs between fresh points, each registered with its ends but in no list yet.
    std::vector<Spring*> makeSprings(int n) {
        std::vector<Spring*> springs;
        for (int i = 0; i < n; ++i) {
            springs.push_back(make<Spring>(pointAt(0, 0, float(i)), pointAt(1, 0, float(i)), 1.0f, 1.0f));
        }
        return springs;
    }
    static std::vector<Spring*> contents(SpringList head) {
        std::vector<Spring*> springs;
        for (SpringListNode* cell = head; cell->next != nullptr; cell = cell->next) springs.push_back(cell->spring);
        return springs;
    }
    static int terminators(SpringList head) {
        int n = 0;
        for (SpringListNode* cell = head; cell != nullptr; cell = cell->next) n += cell->next == nullptr;
        return n;
    }
};

TEST_F(SpringListTest, EmptyListIsOneTerminatorCell) {
    SpringList list = newSpringList();
    EXPECT_EQ(list->next, nullptr);
    EXPECT_EQ(list->spring, nullptr);
    MassPoint* p = pointAt(0, 0, 0);
    EXPECT_EQ(list->findByEnds(p, p), nullptr);
    Spring* absent = makeSprings(1)[0];
    EXPECT_EQ(list->remove(absent), list);
    EXPECT_EQ(list->remove(nullptr), list);
}

TEST_F(SpringListTest, AppendFillsTheHeadCellInPlaceAndKeepsOrder) {
    SpringList list = newSpringList();
    const auto springs = makeSprings(3);
    list->append(springs[0]);
    EXPECT_EQ(list->spring, springs[0]);
    ASSERT_NE(list->next, nullptr);
    EXPECT_EQ(list->next->spring, nullptr);
    list->append(springs[1]);
    list->append(springs[2]);
    EXPECT_EQ(contents(list), springs);
    EXPECT_EQ(terminators(list), 1);
}

TEST_F(SpringListTest, FindByEndsAcceptsEitherOrderAndReturnsTheFirstMatch) {
    MassPoint* p = pointAt(0, 0, 0);
    MassPoint* q = pointAt(1, 0, 0);
    MassPoint* r = pointAt(2, 0, 0);
    Spring* pq = make<Spring>(p, q, 1.0f, 1.0f);
    Spring* qp = make<Spring>(q, p, 1.0f, 1.0f);  // a second spring on the same ends
    SpringList list = newSpringList();
    list->append(pq);
    list->append(qp);
    EXPECT_EQ(list->findByEnds(p, q), pq);
    EXPECT_EQ(list->findByEnds(q, p), pq);
    EXPECT_EQ(list->findByEnds(p, r), nullptr);
    // The points' own lists hold the springs in construction order.
    EXPECT_EQ(p->springs->findByEnds(p, q), pq);
    EXPECT_EQ(q->springs->findByEnds(q, p), pq);
}

TEST_F(SpringListTest, RemoveAtHeadMiddleLastAndAbsent) {
    const auto s = makeSprings(5);
    SpringList list = newSpringList();
    for (int i = 0; i < 4; ++i) list->append(s[i]);

    // Middle: the head stays, the unlinked cell still leads on.
    SpringListNode* second = list->next;
    EXPECT_EQ(list->remove(s[1]), list);
    EXPECT_EQ(contents(list), (std::vector<Spring*>{s[0], s[2], s[3]}));
    EXPECT_EQ(second->spring, s[1]);
    EXPECT_EQ(second->next->spring, s[2]);

    // Last before the terminator.
    EXPECT_EQ(list->remove(s[3]), list);
    EXPECT_EQ(contents(list), (std::vector<Spring*>{s[0], s[2]}));
    EXPECT_EQ(terminators(list), 1);

    // Absent: nothing changes.
    EXPECT_EQ(list->remove(s[4]), list);
    EXPECT_EQ(contents(list), (std::vector<Spring*>{s[0], s[2]}));

    // Head: the next cell becomes the head; the old head is untouched.
    SpringList head = list->remove(s[0]);
    EXPECT_EQ(head, list->next);
    EXPECT_EQ(list->spring, s[0]);
    EXPECT_EQ(contents(head), (std::vector<Spring*>{s[2]}));

    // The only spring: the list becomes its terminator alone.
    head = head->remove(s[2]);
    EXPECT_EQ(head->next, nullptr);
    EXPECT_EQ(head->spring, nullptr);
}

TEST_F(SpringListTest, RemovingTheVisitedSpringDuringAWalkSkipsAndRepeatsNothing) {
    for (int victim : {0, 2, 4}) {  // head, middle, last
        const auto s = makeSprings(5);
        SpringList list = newSpringList();
        for (Spring* spring : s) list->append(spring);
        std::vector<Spring*> visited;
        for (SpringListNode* cell = list; cell->next != nullptr; cell = cell->next) {
            visited.push_back(cell->spring);
            if (cell->spring == s[victim]) list = list->remove(cell->spring);
        }
        EXPECT_EQ(visited, s) << "victim " << victim;
        auto left = s;
        left.erase(left.begin() + victim);
        EXPECT_EQ(contents(list), left) << "victim " << victim;
    }
}

TEST_F(SpringListTest, LongListsInterleavedWithShortOnesKeepEveryAppendInOrder) {
    // Two long lists and many short ones appended in turn: the remembered end of a long list
    // must never send an append to the wrong place.
    SpringList first = newSpringList();
    SpringList second = newSpringList();
    std::vector<Spring*> inFirst, inSecond;
    const auto s = makeSprings(600);
    for (int i = 0; i < 600; ++i) {
        if (i % 3 == 0) {
            second->append(s[i]);
            inSecond.push_back(s[i]);
        } else {
            first->append(s[i]);
            inFirst.push_back(s[i]);
        }
        SpringList shortList = newSpringList();
        shortList->append(s[i]);
    }
    EXPECT_EQ(contents(first), inFirst);
    EXPECT_EQ(contents(second), inSecond);
    EXPECT_EQ(terminators(first), 1);
    EXPECT_EQ(terminators(second), 1);
}

TEST_F(SpringListTest, PointsJoinTheChainInConstructionOrderBehindTheHead) {
    MassPoint* a = pointAt(1, 0, 0, true);
    MassPoint* loose = pointAt(9, 9, 9, false);
    MassPoint* b = pointAt(2, 0, 0, true);
    MassPoint* c = pointAt(3, 0, 0, true);
    EXPECT_EQ(movingPoints(), (std::vector<MassPoint*>{a, b, c}));
    EXPECT_EQ(loose->next, nullptr);
    EXPECT_EQ(c->next, nullptr);
    // A point starts at rest with no force, with an empty list of its own.
    EXPECT_TRUE(sameBits(a->force, Vec3{}));
    EXPECT_EQ(a->springs->spring, nullptr);
    EXPECT_EQ(a->springs->next, nullptr);
}

}  // namespace
