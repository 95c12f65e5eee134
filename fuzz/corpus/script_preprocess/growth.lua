#define A B B B B
#define B C C C C
#define C D D D D
#define D A
x = A
