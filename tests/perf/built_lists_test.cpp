// Building a scene appends to long lists through remembered ends, finds an attached cube's
// shared springs in a point's own list instead of the scene's list, and pins corners through
// the chain's recorded predecessors. The lists must come out exactly as the plain walks from the
// head would make them.

#include <algorithm>
#include <vector>

#include "interaction/keyboard.h"
#include "interaction/scene_commands.h"
#include "interaction/scenes.h"
#include "model/cube.h"
#include "model/mass_point.h"
#include "model/spring.h"
#include "model/volume_element.h"
#include "sim/world.h"
#include "tests/test_support.h"

namespace {

constexpr int kElementCorners[8][4] = {{0, 1, 3, 4}, {1, 0, 2, 5}, {2, 1, 3, 6}, {3, 0, 2, 7},
                                       {4, 0, 5, 7}, {5, 1, 4, 6}, {6, 2, 5, 7}, {7, 3, 4, 6}};

bool nearFace(int k) { return k == 0 || k == 3 || k == 4 || k == 7; }

std::vector<Spring*> listContents(SpringListNode* head) {
    std::vector<Spring*> springs;
    for (SpringListNode* cell = head; cell->next != nullptr; cell = cell->next) springs.push_back(cell->spring);
    return springs;
}

SpringListNode* terminatorOf(SpringListNode* head) {
    SpringListNode* cell = head;
    while (cell->next != nullptr) cell = cell->next;
    return cell;
}

class BuiltListsTest : public WorldTest {
protected:
    // Rows of ten cubes side by side, the first of each row free, as the benchmarks build them;
    // remembers the cubes in build order and the head cell of the scene's list.
    void buildRows(int cubes) {
        resetScene();
        head_ = springList;
        for (int row = 0; static_cast<int>(cubes_.size()) < cubes; ++row) {
            Cube* cube = make<Cube>(-1.5f * static_cast<float>(row), 0.0f, 2.0f, 0.2f, 1.0f, standardStiffness,
                                    standardEdge, springList, chainHead, tearForceLow);
            if (row == 0) {
                leadCube = cube;
                volumeElements = cube->buildElements();
            } else {
                appendElementChain(volumeElements, cube->buildElements());
            }
            cubes_.push_back(cube);
            attached_.push_back(false);
            for (int k = 1; k < 10 && static_cast<int>(cubes_.size()) < cubes; ++k) {
                cubes_.push_back(attachCube(*cubes_.back()));
                attached_.push_back(true);
            }
        }
    }

    // What the plain walks give: every cube's new springs in pair order, cube after cube.
    std::vector<Spring*> expectedSprings() const {
        std::vector<Spring*> springs;
        for (size_t c = 0; c < cubes_.size(); ++c) {
            int pair = 0;
            for (int i = 0; i < 8; ++i) {
                for (int j = i + 1; j < 8; ++j, ++pair) {
                    if (!(attached_[c] && nearFace(i) && nearFace(j))) springs.push_back(cubes_[c]->springs[pair]);
                }
            }
        }
        return springs;
    }

    std::vector<MassPoint*> expectedChain() const {
        std::vector<MassPoint*> points;
        for (size_t c = 0; c < cubes_.size(); ++c) {
            for (int k = 0; k < 8; ++k) {
                if (!attached_[c] || !nearFace(k)) points.push_back(cubes_[c]->corners[k]);
            }
        }
        return points;
    }

    void expectListsAsThePlainWalksGive() {
        EXPECT_EQ(springList, head_) << "the head cell of the scene's list was replaced";
        const std::vector<Spring*> listed = listContents(springList);
        EXPECT_EQ(listed, expectedSprings());
        const SpringListNode* end = terminatorOf(springList);
        EXPECT_EQ(end->spring, nullptr);

        std::vector<MassPoint*> chain = movingPoints();
        EXPECT_EQ(chain, expectedChain());

        // The element chain: every cube's eight elements in table order, cube after cube.
        VolumeElement* e = volumeElements;
        for (size_t c = 0; c < cubes_.size(); ++c) {
            for (const auto& corners : kElementCorners) {
                ASSERT_NE(e, nullptr) << "chain ends early at cube " << c;
                for (int k = 0; k < 4; ++k) EXPECT_EQ(e->corners[k], cubes_[c]->corners[corners[k]]);
                e = e->next;
            }
        }
        EXPECT_EQ(e, nullptr) << "the element chain goes on past the last cube's elements";

        // The shared springs an attached cube took over are the ones the scene's list gives first.
        for (size_t c = 0; c < cubes_.size(); ++c) {
            if (!attached_[c]) continue;
            int pair = 0;
            for (int i = 0; i < 8; ++i) {
                for (int j = i + 1; j < 8; ++j, ++pair) {
                    if (!nearFace(i) || !nearFace(j)) continue;
                    const Cube& cube = *cubes_[c];
                    EXPECT_EQ(cube.springs[pair], springList->findByEnds(cube.corners[i], cube.corners[j]))
                        << "cube " << c << " pair " << i << "," << j;
                }
            }
        }

        // Each point's own list: its springs in the order they were made.
        for (MassPoint* p : chain) {
            std::vector<Spring*> own;
            for (Spring* s : listed) {
                if (s->a == p || s->b == p) own.push_back(s);
            }
            EXPECT_EQ(listContents(p->springs), own);
        }
    }

    SpringListNode* head_ = nullptr;
    std::vector<Cube*> cubes_;
    std::vector<bool> attached_;
};

TEST_F(BuiltListsTest, OneCube) {
    buildRows(1);
    ASSERT_EQ(cubes_.size(), 1u);
    expectListsAsThePlainWalksGive();
}

TEST_F(BuiltListsTest, ManyRowsOfCubes) {
    buildRows(237);  // 23 full rows and a short one
    ASSERT_EQ(cubes_.size(), 237u);
    EXPECT_EQ(activeSprings().size(), 24u * 28u + 213u * 22u);
    expectListsAsThePlainWalksGive();
}

TEST_F(BuiltListsTest, PreparedScenesKeepEveryListInBuildOrder) {
    for (unsigned char key : {'7', 's', 'q', 'p'}) {
        onKey(key, 0, 0);
        const std::vector<Spring*> listed = activeSprings();
        EXPECT_EQ(terminatorOf(springList)->spring, nullptr);
        // Each spring is listed once, and each point's own list keeps the scene list's order.
        for (size_t i = 0; i < listed.size(); ++i) {
            for (size_t j = i + 1; j < listed.size(); ++j) ASSERT_NE(listed[i], listed[j]) << key;
        }
        for (Spring* s : listed) {
            for (MassPoint* end : {s->a, s->b}) {
                std::vector<Spring*> own;
                for (Spring* t : listed) {
                    if (t->a == end || t->b == end) own.push_back(t);
                }
                EXPECT_EQ(listContents(end->springs), own) << key;
            }
        }
    }
}

TEST_F(BuiltListsTest, AppendingToTwoLongListsInTurnKeepsBoth) {
    // Only one list's end is remembered at a time: switching between lists must still append
    // at each one's real end.
    SpringListNode* first = newSpringList();
    SpringListNode* second = newSpringList();
    std::vector<Spring*> inFirst, inSecond;
    for (int round = 0; round < 4; ++round) {
        for (int i = 0; i < 40; ++i) {
            MassPoint* p = pointAt(0.0f, static_cast<float>(i), static_cast<float>(round));
            MassPoint* q = pointAt(1.0f, static_cast<float>(i), static_cast<float>(round));
            Spring* s = make<Spring>(p, q, 1.0f, 1.0f);
            (round % 2 == 0 ? first : second)->append(s);
            (round % 2 == 0 ? inFirst : inSecond).push_back(s);
        }
    }
    EXPECT_EQ(listContents(first), inFirst);
    EXPECT_EQ(listContents(second), inSecond);
}

TEST_F(BuiltListsTest, ChainsAndElementChainsBuiltInTurnKeepTheirOrder) {
    MassPoint* otherHead = make<MassPoint>(0.0f, 0.0f, 0.0f, zeroVelocity, 1.0f, 1.0f, nullptr);
    std::vector<MassPoint*> inScene, inOther;
    for (int i = 0; i < 100; ++i) {
        MassPoint* head = i % 3 == 0 ? otherHead : chainHead;
        MassPoint* p = make<MassPoint>(0.0f, 0.0f, static_cast<float>(i), zeroVelocity, 0.2f, 1.0f, head);
        (head == otherHead ? inOther : inScene).push_back(p);
    }
    EXPECT_EQ(movingPoints(), inScene);
    std::vector<MassPoint*> other;
    for (MassPoint* p = otherHead->next; p != nullptr; p = p->next) other.push_back(p);
    EXPECT_EQ(other, inOther);

    // Two element chains grown in turn.
    Cube* a = make<Cube>(0.0f, 0.0f, 2.0f, 0.2f, 1.0f, 1660.0f, 1.0f, springList, chainHead, 700.0f);
    Cube* b = make<Cube>(5.0f, 0.0f, 2.0f, 0.2f, 1.0f, 1660.0f, 1.0f, springList, chainHead, 700.0f);
    VolumeElement* chainA = a->buildElements();
    VolumeElement* chainB = b->buildElements();
    std::vector<VolumeElement*> tails;
    for (int i = 0; i < 12; ++i) {
        VolumeElement* tail = make<VolumeElement>(a->corners[0], a->corners[1], a->corners[3], a->corners[4]);
        appendElementChain(i % 2 == 0 ? chainA : chainB, tail);
        tails.push_back(tail);
    }
    int lengthA = 0, lengthB = 0;
    VolumeElement* lastA = nullptr;
    for (VolumeElement* e = chainA; e != nullptr; e = e->next, ++lengthA) lastA = e;
    for (VolumeElement* e = chainB; e != nullptr; e = e->next) ++lengthB;
    EXPECT_EQ(lengthA, 8 + 6);
    EXPECT_EQ(lengthB, 8 + 6);
    EXPECT_EQ(lastA, tails[10]);
}

TEST_F(BuiltListsTest, PointsMadeAfterTheWallSceneJoinItsCutChainAtTheEnd) {
    onKey('q', 0, 0);
    const std::vector<MassPoint*> before = movingPoints();
    MassPoint* p = make<MassPoint>(0.0f, 0.0f, 9.0f, zeroVelocity, 0.2f, 1.0f, chainHead);
    std::vector<MassPoint*> expected = before;
    expected.push_back(p);
    EXPECT_EQ(movingPoints(), expected);
}

TEST_F(BuiltListsTest, CornersWithManyAnchorsKeepTheirSpringsInBuildOrder) {
    startEmptyScene();
    buildFreeCube(FreeCubeArgs{Vec3{0.0f, 0.0f, 2.0f}, 1.0f, 1660.0f, 1.0f, 0.2f, 700.0f, false});
    // Two corners take anchors in turn, far past the length at which a list's end is remembered.
    for (int i = 0; i < 300; ++i) {
        anchorCorner(Vec3{0.0f, static_cast<float>(i), 5.0f}, 1, i % 3 == 0 ? 5 : 0, 100.0f, 7000.0f, 0.0f);
    }
    const std::vector<Spring*> listed = listContents(springList);
    for (MassPoint* corner : sceneCubes()[0]->corners) {
        std::vector<Spring*> own;
        for (Spring* s : listed) {
            if (s->a == corner || s->b == corner) own.push_back(s);
        }
        EXPECT_EQ(listContents(corner->springs), own);
    }
}

// Pins against the walk from the head: a run of pinned points right behind the head makes its
// last point the head, any other pinned point is passed over.
class PinnedChainTest : public WorldTest {
protected:
    void pin(int cube, unsigned corners) {
        const Cube& owner = *sceneCubes()[static_cast<std::size_t>(cube - 1)];
        auto named = [&](const MassPoint* p) {
            for (int k = 0; k < 8; ++k) {
                if ((corners >> k & 1u) != 0 && owner.corners[k] == p) return true;
            }
            return false;
        };
        std::size_t lead = 0;
        for (; lead < moving_.size() && named(moving_[lead]); ++lead) head_ = moving_[lead];
        moving_.erase(moving_.begin(), moving_.begin() + static_cast<std::ptrdiff_t>(lead));
        moving_.erase(std::remove_if(moving_.begin(), moving_.end(), named), moving_.end());
        pinCorners(cube, corners);
        expectChain();
    }
    void addCube(bool attached) {
        const std::size_t before = sceneCubes().size();
        if (attached) {
            attachCubes(1, 700.0f, false);
        } else {
            buildFreeCube(FreeCubeArgs{Vec3{0.0f, 3.0f * static_cast<float>(before), 2.0f}, 1.0f, 1660.0f, 1.0f, 0.2f,
                                       700.0f, false});
        }
        const Cube& cube = *sceneCubes().back();
        for (int k = 0; k < 8; ++k) {
            if (!attached || !nearFace(k)) moving_.push_back(cube.corners[k]);
        }
        expectChain();
    }
    void expectChain() {
        EXPECT_EQ(chainHead, head_);
        EXPECT_EQ(movingPoints(), moving_);
    }

    MassPoint* head_ = nullptr;
    std::vector<MassPoint*> moving_;
};

TEST_F(PinnedChainTest, PinsAndLaterCubesGiveTheChainOfTheWalkFromTheHead) {
    startEmptyScene();
    head_ = chainHead;
    addCube(false);
    pin(1, 0x0bu);  // corners 0 and 1 lead the chain, corner 3 stands in it
    pin(1, 0x10u);  // corner 4, which followed corner 3
    addCube(true);
    addCube(false);
    pin(3, 0xc0u);  // the chain's last two points
    addCube(true);  // joins behind the chain's new last point
    pin(1, 0x0fu);  // corners 0 and 1 again (already out of the chain), and 2 behind the head now
    pin(2, 0xffu);
    addCube(false);
    // A point linked in by hand before the new cube: its corner 0's recorded predecessor no
    // longer leads to it.
    MassPoint* corner0 = sceneCubes()[4]->corners[0];
    MassPoint* linked = pointAt(0.0f, 0.0f, 9.0f);
    for (MassPoint* p = chainHead; p != nullptr; p = p->next) {
        if (p->next == corner0) {
            linked->next = corner0;
            p->next = linked;
            break;
        }
    }
    moving_.insert(moving_.end() - 8, linked);
    pin(5, 0x07u);
    addCube(true);
    pin(6, 0x66u);
}

TEST_F(PinnedChainTest, PinsAfterTheWallSceneFollowItsCutChain) {
    onKey('q', 0, 0);
    head_ = chainHead;
    moving_ = movingPoints();
    pin(1, 0x26u);
    pin(4, 0x0fu);
    addCube(true);
}

}  // namespace
