#ifdef INSTANCE_TEXT
a = INSTANCE_TEXT
#else
b = 1
#endif
#ifndef NOPE
#warning "here"
#endif
#undef INSTANCE_TEXT
#define INSTANCE_TEXT 9
