#define F(x) x
F({)})
#include "../x.lua"
#error "stop"
