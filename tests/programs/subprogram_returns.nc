(A subprogram, called in G91 to cut one step deeper each time: it runs in)
(the modes of its caller, so nothing is assumed until it sets them)
O1000
G0 Z5.
G0 X10. Y0.
G1 Z-6. F100.
G1 X5.
G0 Z6.
G0 X10. Y0.
G1 Z-7. F100.
G1 X5.
G0 Z7.
M99
