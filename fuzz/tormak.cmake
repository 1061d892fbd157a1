# tormak: block receive of a USB slot over the simulated driver, and the
# Ethernet carrier's telegram receive over a socketpair.
uc_add_fuzzer(fuzz_tmk_receive SOURCES fuzz_tmk_receive.cpp LIBS tormak_core uc_fuzz_input MAX_LEN 8192)
