# Device registry: the register read and its GET exchange, fed replies
# from a scripted device.
uc_add_fuzzer(fuzz_register_read SOURCES fuzz_register_read.cpp
  LIBS uc_fuzz_positioner_harness dravex_core uc_fake_libusb uc_fuzz_input)
