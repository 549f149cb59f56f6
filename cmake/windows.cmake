# The Windows builds (32- and 64-bit): system libraries, the JNI headers of
# the build machine's JDK with a Windows jni_md.h of our own, and the DLL.

# Sockets, Schannel and the certificate store, COM and the XML DOM
# component's identifiers.
set(ZCV_WINDOWS_LIBRARIES ws2_32 secur32 crypt32 ole32 oleaut32 uuid)

# Only jni.h is taken from the JDK; its jni_md.h describes Linux, so
# jni/win32 supplies the Windows one and the JDK's linux/ folder stays out.
find_program(ZCV_JAVAC javac)
if(ZCV_JAVAC)
  get_filename_component(zcv_javac_path "${ZCV_JAVAC}" REALPATH)
  get_filename_component(zcv_java_home "${zcv_javac_path}/../.." ABSOLUTE)
  find_path(ZCV_JNI_INCLUDE jni.h HINTS "${zcv_java_home}/include" NO_CMAKE_FIND_ROOT_PATH)
endif()
if(NOT ZCV_JNI_INCLUDE)
  message(FATAL_ERROR "The Windows DLL exports the Java natives too: a JDK is needed for jni.h")
endif()
set(JNI_FOUND TRUE)
set(JNI_INCLUDE_DIRS ${PROJECT_SOURCE_DIR}/jni/win32 ${ZCV_JNI_INCLUDE})
add_compile_definitions(ZCV_JAVA_BRIDGE)

# zcv_windows_module(<target>): makes <target>.dll, whose exports are the
# names of include/exports.list for this width (through the generated .def
# file), with the linker's import library <target>.lib beside it (the ones
# for hosts are made in cmake/windows-zip.cmake).
function(zcv_windows_module target)
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/platform/dll_main_win32.cpp ${ZCV_DEF_FILE})
  target_link_libraries(${target} PRIVATE ${ZCV_WINDOWS_LIBRARIES})
  target_link_options(${target} PRIVATE -Wl,--no-undefined)
  set_target_properties(${target} PROPERTIES PREFIX "" IMPORT_PREFIX "" IMPORT_SUFFIX ".lib")
endfunction()
