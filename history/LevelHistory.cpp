#include "history/LevelHistory.h"
