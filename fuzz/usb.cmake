# USB transports of dravex: the libusb ring (over the fake libusb of the
# tests) and the kernel-driver receive (over the simulated driver).
uc_add_fuzzer(fuzz_usblib_ring SOURCES fuzz_usblib_ring.cpp
  LIBS dravex_core uc_fake_libusb uc_fuzz_input MAX_LEN 8192)
uc_add_fuzzer(fuzz_driver_receive SOURCES fuzz_driver_receive.cpp
  LIBS dravex_core uc_fake_libusb uc_fuzz_input MAX_LEN 12288)
