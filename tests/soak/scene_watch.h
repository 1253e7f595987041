#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "model/vec3.h"

struct MassPoint;
struct Spring;

// Watches the current scene between restarts and says what, if anything, is broken. The
// shape each scene must have (points, springs, fixed points) is written down here from the
// scene descriptions, not read back from the builders.
class SceneWatch {
public:
    // Call right after the restart that `key` made ('1'..'7', 's', 'q', 'p'). Returns an
    // empty string when the new scene has its expected shape and is finite, else what is wrong.
    std::string restarted(unsigned char key);
    // Call after every step: the time the scene should now show.
    void stepped();

    // Empty when every invariant holds: the spring list, the chain, the fixed points, simTime
    // and the push counter. Otherwise a description of the first broken one.
    std::string check();
    // Empty when every position, velocity and force of every moving point is finite.
    std::string checkFinite() const;
    // Whether any moving point holds an infinity or a NaN.
    bool anyNonFinite() const;
    // Empty when the grab holds nothing, or a moving point of this scene at the place in the
    // chain it was taken by, with a finite target.
    std::string checkGrab() const;

    float expectedTime() const { return expectedTime_; }
    std::size_t movingPoints() const { return moving_.size(); }

private:
    struct Fixed {
        const MassPoint* point;
        Vec3 position;
        Vec3 velocity;
    };

    MassPoint* head_ = nullptr;
    std::vector<MassPoint*> moving_;            // chain order
    std::vector<const MassPoint*> reachable_;   // moving and fixed points, sorted
    std::vector<const Spring*> made_;           // every spring listed at the restart, sorted
    std::vector<Fixed> fixed_;                  // the head and every fixed end of a spring
    std::vector<const Spring*> listed_;         // scratch of check()
    float expectedTime_ = 0.0f;
};
