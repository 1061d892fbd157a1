# TCP transport: the telegram reader and the resynchronising drain over a
# socketpair (no network).
uc_add_fuzzer(fuzz_tcp_stream SOURCES fuzz_tcp_stream.cpp LIBS uc_net uc_fuzz_input)
