#include "app/CellReports.h"
