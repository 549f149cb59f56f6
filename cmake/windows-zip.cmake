# The zip for Windows hosts: the DLL without debug information, the headers
# (the C interface's in zephyrcoilvault/), an import library made by dlltool
# that covers every export, and a text on dropping the DLL into an existing
# installation. Built with the DLL.
set(zip_name zephyrcoilvault-${PROJECT_VERSION}-win32.zip)
set(zip_dir ${PROJECT_BINARY_DIR}/zip)
find_program(ZCV_DLLTOOL ${ZCV_MINGW_PREFIX}-dlltool REQUIRED)
find_program(ZCV_STRIP ${ZCV_MINGW_PREFIX}-strip REQUIRED)
configure_file(${PROJECT_SOURCE_DIR}/cmake/windows-install.txt ${zip_dir}/README.txt @ONLY)

set(zip_files zephyrcoilvault.dll zephyrcoilvault.h zephyrcoilvault_version.h
    zephyrcoilvault/client.h zephyrcoilvault.lib README.txt)
set(ZCV_IMPORT_LIBRARY ${zip_dir}/zephyrcoilvault.lib)
# MSVC's decorated names take no extra underscore; the C functions' linker
# names carry theirs in the import definitions.
add_custom_command(
  OUTPUT ${PROJECT_BINARY_DIR}/${zip_name} ${ZCV_IMPORT_LIBRARY}
  COMMAND ${ZCV_DLLTOOL} --no-leading-underscore --input-def ${ZCV_IMPORT_DEF_FILE}
          --dllname zephyrcoilvault.dll --output-lib ${ZCV_IMPORT_LIBRARY}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:zephyrcoilvault> ${PROJECT_SOURCE_DIR}/include/zephyrcoilvault.h
          ${PROJECT_BINARY_DIR}/include/zephyrcoilvault_version.h ${zip_dir}
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/include/zephyrcoilvault/client.h
          ${zip_dir}/zephyrcoilvault/client.h
  COMMAND ${ZCV_STRIP} --strip-debug ${zip_dir}/zephyrcoilvault.dll
  COMMAND ${CMAKE_COMMAND} -E chdir ${zip_dir}
          ${CMAKE_COMMAND} -E tar cf ${PROJECT_BINARY_DIR}/${zip_name} --format=zip ${zip_files}
  DEPENDS zephyrcoilvault ${ZCV_IMPORT_DEF_FILE} ${PROJECT_SOURCE_DIR}/include/zephyrcoilvault.h
          ${PROJECT_SOURCE_DIR}/include/zephyrcoilvault/client.h ${zip_dir}/README.txt
  VERBATIM)
add_custom_target(zcv_windows_zip ALL DEPENDS ${PROJECT_BINARY_DIR}/${zip_name})
