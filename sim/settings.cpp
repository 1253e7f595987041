#include "sim/settings.h"

#include "model/spring.h"
#include "model/spring_list.h"
#include "sim/world.h"

SettingValues settings;

void changeSetting(int index, float value) {
    settings.*kSettings[index].value = value;
    if (kSettings[index].value != &SettingValues::stiffnessScale) return;
    // Torn springs never act again, so only the listed ones matter.
    for (SpringListNode* cell = springList; cell->next != nullptr; cell = cell->next) {
        cell->spring->stiffness = cell->spring->builtStiffness * value;
    }
}
