# What Windows hosts get, per processor in dist/<arch>/: the DLL without
# debug information and two import libraries made by dlltool that cover
# every export, zephyrcoilvault.lib for MSVC (the operations by their MSVC
# names) and libzephyrcoilvault.dll.a for mingw-w64 (the operations by the
# names g++ gives the same declarations); the headers once in dist/include/.
# A 64-bit build given the dist/ of a 32-bit one (ZCV_WINDOWS_X86_DIST) also
# packs both into zephyrcoilvault-<version>-windows.zip, beside a text on
# which DLL a host needs and on dropping it into an existing installation.
set(zcv_dist ${PROJECT_BINARY_DIR}/dist)
set(zcv_arch_dir ${zcv_dist}/${ZCV_WINDOWS_ARCH})
find_program(ZCV_DLLTOOL ${ZCV_MINGW_PREFIX}-dlltool REQUIRED)
find_program(ZCV_STRIP ${ZCV_MINGW_PREFIX}-strip REQUIRED)

set(ZCV_IMPORT_LIBRARY ${zcv_arch_dir}/zephyrcoilvault.lib)
set(ZCV_GNU_IMPORT_LIBRARY ${zcv_arch_dir}/libzephyrcoilvault.dll.a)
set(zcv_headers ${zcv_dist}/include/zephyrcoilvault.h ${zcv_dist}/include/zephyrcoilvault_version.h
    ${zcv_dist}/include/zephyrcoilvault/client.h)
# Every name in the definitions is the linker's own (leading underscores
# included), so dlltool adds none.
add_custom_command(
  OUTPUT ${ZCV_IMPORT_LIBRARY} ${ZCV_GNU_IMPORT_LIBRARY} ${zcv_arch_dir}/zephyrcoilvault.dll ${zcv_headers}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${zcv_arch_dir} ${zcv_dist}/include/zephyrcoilvault
  COMMAND ${ZCV_DLLTOOL} --no-leading-underscore --input-def ${ZCV_IMPORT_DEF_FILE}
          --dllname zephyrcoilvault.dll --output-lib ${ZCV_IMPORT_LIBRARY}
  COMMAND ${ZCV_DLLTOOL} --no-leading-underscore --input-def ${ZCV_GNU_IMPORT_DEF_FILE}
          --dllname zephyrcoilvault.dll --output-lib ${ZCV_GNU_IMPORT_LIBRARY}
  COMMAND ${ZCV_STRIP} --strip-debug -o ${zcv_arch_dir}/zephyrcoilvault.dll $<TARGET_FILE:zephyrcoilvault>
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/include/zephyrcoilvault.h
          ${PROJECT_BINARY_DIR}/include/zephyrcoilvault_version.h ${zcv_dist}/include
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/include/zephyrcoilvault/client.h
          ${zcv_dist}/include/zephyrcoilvault/client.h
  DEPENDS zephyrcoilvault ${ZCV_IMPORT_DEF_FILE} ${ZCV_GNU_IMPORT_DEF_FILE}
          ${PROJECT_SOURCE_DIR}/include/zephyrcoilvault.h
          ${PROJECT_SOURCE_DIR}/include/zephyrcoilvault/client.h
  VERBATIM)
add_custom_target(zcv_windows_dist ALL DEPENDS ${ZCV_IMPORT_LIBRARY} ${ZCV_GNU_IMPORT_LIBRARY})

set(ZCV_WINDOWS_X86_DIST "" CACHE PATH "The dist/ folder of a 32-bit build, packed beside this one")
if(ZCV_WINDOWS_ARCH STREQUAL "x64" AND ZCV_WINDOWS_X86_DIST)
  set(zip_name zephyrcoilvault-${PROJECT_VERSION}-windows.zip)
  set(zip_dir ${PROJECT_BINARY_DIR}/zip)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/windows-install.txt ${zip_dir}/README.txt @ONLY)
  set(zcv_arch_files zephyrcoilvault.dll zephyrcoilvault.lib libzephyrcoilvault.dll.a)
  set(zip_files README.txt include)
  set(zcv_x86_files "")
  foreach(file IN LISTS zcv_arch_files)
    list(APPEND zip_files x86/${file} x64/${file})
    list(APPEND zcv_x86_files ${ZCV_WINDOWS_X86_DIST}/x86/${file})
  endforeach()
  add_custom_command(
    OUTPUT ${PROJECT_BINARY_DIR}/${zip_name}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${zip_dir}/include ${zip_dir}/x86 ${zip_dir}/x64
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${zcv_dist} ${zip_dir}
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${ZCV_WINDOWS_X86_DIST}/x86 ${zip_dir}/x86
    COMMAND ${CMAKE_COMMAND} -E chdir ${zip_dir}
            ${CMAKE_COMMAND} -E tar cf ${PROJECT_BINARY_DIR}/${zip_name} --format=zip ${zip_files}
    DEPENDS zcv_windows_dist ${ZCV_IMPORT_LIBRARY} ${ZCV_GNU_IMPORT_LIBRARY} ${zcv_x86_files}
            ${zip_dir}/README.txt
    VERBATIM)
  add_custom_target(zcv_windows_zip ALL DEPENDS ${PROJECT_BINARY_DIR}/${zip_name})
endif()
