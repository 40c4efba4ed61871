#include "console/config_keys.h"

namespace verdelo {

namespace {

using K = ConfigKind;

constexpr ConfigKeyInfo kConsoleKeys[] = {
    {"SCHEDULER_TIMER", K::Number, "period of the poll cycle, in ms", "1000", 1},
    {"ALARM_TIMER", K::Number, "period of the no-response alarm check, in ms", "60000", 1},
    {"PULS_CHARGE_TIMER", K::Number, "period of pulse charging, in s", "600", 1000},
    {"VMIN_PULS_CHARGE", K::Number, "battery voltage below which pulse charging starts, in mV",
     "21220"},
    {"ALARM_IF_NO_RESPONSE", K::Switch, "ticks \"AlarmIfNoResponse\" and starts the alarm check",
     "off"},
    {"DISABLE_SQUARE_CUTTING_TIMER", K::Switch, "ticks \"Disable Timer\" of square cutting", "off"},
    {"VALUES_UPDATE_DISABLE", K::Switch, "ticks \"Disable Values Update\"", "off"},
    {"MAN_TO_AUTO", K::Switch, "ticks \"Auto after Man\"", "off"},
    {"AUTO_TO_MAN", K::Switch, "ticks \"Man after Auto\"", "off"},
    {"GO_BACK", K::Switch, "ticks \"Auto if out\"", "off"},
    {"FILTER", K::Switch, "ticks the memory tool's \"Filter\"", "off"},
    {"TEST_READ", K::Switch, "ticks the memory tool's \"Test Read\"", "off"},
    {"PULS_CHARGE", K::Switch, "ticks \"AutoTimer\" and starts pulse charging", "off"},
    {"PULS_CHARGE_VMIN", K::Switch, "ticks \"AutoVmin\"", "off"},
    {"PC_KEYBOARD", K::Switch, "ticks \"keyboard\": drive with the PC's keys", "off"},
    {"REVERT_LEFT_RIGHT", K::Switch, "ticks \"left/right\"", "off"},
    {"MORO_EXPERT_MODE", K::Presence, "enables the memory tool and the developer buttons", "absent"},
    {"NO_SPLASH_DIALOG", K::Presence, "no About box at start", "absent"},
    {"MIN_CURRENT", K::Number, "current below which the low-current alarm counts, in mA", "-5000"},
    {"MIN_CURRENT_TIMER", K::Number, "low answers in a row before the low-current alarm", "10"},
};

}  // namespace

std::span<const ConfigKeyInfo> ConsoleConfigKeys() { return kConsoleKeys; }

}  // namespace verdelo
