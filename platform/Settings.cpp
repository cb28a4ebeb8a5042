// Settings.cpp -- the choices kept between runs.
#include "platform/Settings.h"

Settings GameSettings;

void SettingsChanged()
{
}
