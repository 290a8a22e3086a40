// Leak-checker suppressions for this test program: memory libgphoto2 and its drivers allocate once and keep for
// the life of the process (driver tables, iconv descriptors, ltdl bookkeeping, the USB device list its port
// drivers enumerate). The body's own allocations never pass through these libraries.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libgphoto2.so\n"
           "leak:libgphoto2_port.so\n"
           "leak:/libgphoto2/\n"
           "leak:/libgphoto2_port/\n"
           "leak:libltdl.so\n"
           "leak:libusb-1.0.so\n"
           "leak:iconv_open\n";
}
