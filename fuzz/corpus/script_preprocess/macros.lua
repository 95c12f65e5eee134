#define F(a, #rest) call(a, rest)
#define S(x) #x
#define CAT(a, b) a ## b
F(1)
F(1, 2, 3)
S(hello)
CAT(foo, bar)
v = F(1,
  2) .. __LINE__ .. __FILE__
