#include "sim/settings.h"

#include "model/spring.h"
#include "model/spring_list.h"
#include "sim/contact.h"
#include "sim/world.h"

SettingValues settings;

void changeSetting(int index, float value) {
    settings.*kSettings[index].value = value;
    // Contact switched on or off: touching pairs start afresh, their friction springs slack.
    if (kSettings[index].value == &SettingValues::contact) releaseFrictionSprings();
    if (kSettings[index].value != &SettingValues::stiffnessScale) return;
    // Torn springs never act again, so only the listed ones matter.
    for (SpringListNode* cell = springList; cell->next != nullptr; cell = cell->next) {
        cell->spring->stiffness = cell->spring->builtStiffness * value;
    }
}
