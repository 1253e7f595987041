#pragma once

struct ViewCamera;

// A view that a person turns and zooms around the point the camera looks at. It moves only the
// eye: the target still follows the lead cube, up stays +z and the projection is the fixed one.
// Nothing of the world is read or written, so the simulation and the run are the same whatever
// the view. Until it is turned or zoomed (and after reset) the camera is exactly the fixed eye's.
class ViewOrbit {
public:
    // Turns the eye around the target: yaw (radians) around the vertical through the target,
    // positive counter-clockwise seen from above; pitch (radians) raises the eye. The eye's
    // elevation stays within kMaxElevation of the horizontal.
    void turn(double yaw, double pitch);

    // Multiplies the eye's distance from the target by factor (< 1 nearer, > 1 farther), kept
    // between kNearest and kFarthest times the fixed eye's distance. Factors that are not
    // finite and positive are ignored.
    void zoom(double factor);

    void reset();
    bool isFixedView() const;

    // Moves camera's eye (set to the fixed eye, looking at its target) to this view.
    void apply(ViewCamera& camera) const;

    static constexpr double kMaxElevation = 1.45;  // radians, about 83 degrees
    static constexpr double kNearest = 0.25;
    static constexpr double kFarthest = 4.0;

private:
    double yaw_ = 0.0;
    double pitch_ = 0.0;
    double distance_ = 1.0;  // times the fixed eye's distance from the target
};
