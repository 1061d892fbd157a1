# Positioner API: the receive loop with its dispatcher, and the axis
# configuration file loader, on handles opened on a scripted device.
uc_add_fuzzer(fuzz_dispatch SOURCES fuzz_dispatch.cpp
  LIBS uc_fuzz_positioner_harness dravex_core uc_fake_libusb uc_fuzz_input)
uc_add_fuzzer(fuzz_config_load SOURCES fuzz_config_load.cpp
  LIBS uc_fuzz_positioner_harness dravex_core uc_fake_libusb uc_fuzz_input uc_config_oracle)
