#include "settings/info_config.h"

TInfoConfig InfoConfig;
