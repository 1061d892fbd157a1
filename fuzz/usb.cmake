# USB transports of dravex: the libusb ring (over the fake libusb of the
# tests) and the kernel-driver receive (over the simulated driver).
if(NOT TARGET uc_fake_libusb)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/fakes ${CMAKE_CURRENT_BINARY_DIR}/fakes)
endif()

uc_add_fuzzer(fuzz_usblib_ring SOURCES fuzz_usblib_ring.cpp
  LIBS dravex_core uc_fake_libusb uc_fuzz_input)
uc_add_fuzzer(fuzz_driver_receive SOURCES fuzz_driver_receive.cpp
  LIBS dravex_core uc_fake_libusb uc_fuzz_input)
