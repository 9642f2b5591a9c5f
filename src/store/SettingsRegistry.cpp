#include "store/SettingsRegistry.h"

const SettingDef* gFindSettingDef(int number) {
    for (const SettingDef& d : kSettingDefs)
        if (d.number == number)
            return &d;
    return nullptr;
}
