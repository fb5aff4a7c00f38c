#include "serial/SerialPortDriver.h"
