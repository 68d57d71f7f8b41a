#include "link/Com.h"

Com::~Com() = default;
