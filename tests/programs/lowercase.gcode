; a grbl-style program: lower case, no blanks, short numbers
g21g90
g0z3
g0x5y5
g1z-.25f120
g1x25
g1y15
g0z3
g0x5y5
g1z-.5f120
g1x25
g1y15
g0z3
g0x25y15
g1z-.75f120
g1x5
g0z3
m2
