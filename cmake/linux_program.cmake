# setupcheck on Linux: the media checker over linux, which reads
# packages through libmsi and writes archives through libzip and OpenSSL's
# libcrypto. The native preset writes it to dist/linux.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBMSI REQUIRED IMPORTED_TARGET libmsi-1.0)
pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET libzip)
find_package(OpenSSL REQUIRED COMPONENTS Crypto)

file(GLOB LINUX_SOURCES CONFIGURE_DEPENDS linux/*.cpp)
list(REMOVE_ITEM LINUX_SOURCES ${CMAKE_SOURCE_DIR}/linux/setupcheck_main.cpp)
add_library(setup_linux STATIC ${LINUX_SOURCES})
target_link_libraries(setup_linux PUBLIC setup_core PkgConfig::LIBMSI PkgConfig::LIBZIP OpenSSL::Crypto)

add_executable(setupcheck linux/setupcheck_main.cpp)
target_link_libraries(setupcheck PRIVATE setup_checker setup_linux)
if(SETUP_DIST_DIR)
  set_target_properties(setupcheck PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${SETUP_DIST_DIR})
endif()
