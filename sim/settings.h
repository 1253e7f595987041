#pragma once

// The physical settings a run may change (`set NAME VALUE` in a script): each with its range,
// its design value and its unit. Restarts keep the current values, as they keep the flags.
// The table needs nothing but this header, so the script reader checks names and ranges
// against it without linking the core.

#include <string_view>

#include "sim/constants.h"

// The current values. The design values are the members' start values.
struct SettingValues {
    float gravity = kGravity;                                // units/s^2, times the lead cube's corner 0 mass
    float springDamping = kSpringDamping;                    // force per unit of length change per second
    float volumeStiffness = kVolumeStiffness;                // force per unit^3 of volume change
    float plasticVolumeStiffness = kPlasticVolumeStiffness;  // the same while springs are plastic
    float stiffnessScale = 1.0f;                             // factor on every spring's stiffness as built
    // Beyond the design, off by default, so a run that never sets them gives the design's bits.
    float ownWeight = 0.0f;                      // switch: each point's gravity from its own mass
    float contact = 0.0f;                        // switch: cubes push each other apart
    float contactStiffness = kContactStiffness;  // force per unit of depth, per unit of reduced mass
    float contactDamping = kContactDamping;      // force per unit/s of approach, per unit of reduced mass
    float friction = kContactFriction;           // largest slip force over the pressing force
};

struct SettingInfo {
    const char* name;  // as written in a script
    float SettingValues::*value;
    float low;   // the range, both ends included
    float high;
    const char* unit;
    const char* meaning;
    bool isSwitch = false;  // 0 or 1, written "off" and "on"
    float design() const { return SettingValues{}.*value; }
};

inline constexpr SettingInfo kSettings[] = {
    {"gravity", &SettingValues::gravity, 0.0f, 100.0f, "units/s^2",
     "downward acceleration; each moving point gets this times the lead cube's corner 0 mass"},
    {"damping", &SettingValues::springDamping, 0.0f, 100.0f, "force per unit/s",
     "damping along every spring, against the change of its length"},
    {"volume-stiffness", &SettingValues::volumeStiffness, 0.0f, 100000.0f, "force per unit^3",
     "how hard the volume elements keep their volume"},
    {"plastic-volume-stiffness", &SettingValues::plasticVolumeStiffness, 0.0f, 100000.0f, "force per unit^3",
     "the same while springs are plastic"},
    {"stiffness-scale", &SettingValues::stiffnessScale, 0.1f, 10.0f, "factor",
     "every spring's stiffness is its built stiffness times this"},
    {"own-weight", &SettingValues::ownWeight, 0.0f, 1.0f, "on/off",
     "on: each moving point's gravity is its own mass times the gravity, so blocks of any mass fall alike",
     true},
    {"contact", &SettingValues::contact, 0.0f, 1.0f, "on/off",
     "on: no part of a cube passes into another cube (cubes that share a corner aside)", true},
    {"contact-stiffness", &SettingValues::contactStiffness, 0.0f, 200000.0f, "1/s^2",
     "how hard touching cubes push apart: force per unit of depth, per unit of their reduced mass"},
    {"contact-damping", &SettingValues::contactDamping, 0.0f, 200.0f, "1/s",
     "against touching cubes' approach: force per unit/s, per unit of their reduced mass"},
    {"friction", &SettingValues::friction, 0.0f, 2.0f, "factor",
     "the slip force between touching cubes is at most this times the force pressing them together"},
};
inline constexpr int kSettingCount = static_cast<int>(sizeof kSettings / sizeof kSettings[0]);

// The index of the setting called `name`, or -1.
inline int findSetting(std::string_view name) {
    for (int i = 0; i < kSettingCount; ++i) {
        if (name == kSettings[i].name) return i;
    }
    return -1;
}

// The settings of the world.
extern SettingValues settings;

inline bool switchedOn(float value) { return value != 0.0f; }

// Gives setting `index` the value (the reader has checked it against the range). A new
// stiffness scale rewrites the stiffness of every listed spring at once, so the step does no
// work for it.
void changeSetting(int index, float value);
