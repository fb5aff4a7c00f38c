#include "app/MiscLib.h"
