#pragma once
// Identifiers of the program's string resources.

#define IDS_HELP_SWITCHES 100
#define IDS_HELP_CONFIGFILE 101
#define IDS_HELP_HELP 102
#define IDS_DEBUG_MANAGER_MISSING 110
