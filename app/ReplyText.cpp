#include "app/ReplyText.h"
