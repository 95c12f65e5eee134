# Run as a script by CTest: compile options named for a file that does not exist must stop the
# configuration with a message naming it.
include(${PELLWOOD_SOURCE}/cmake/Targets.cmake)
pellwood_source_options(no/such/Kernels.cpp -ffp-contract=off)
