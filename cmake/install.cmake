# What `cmake --install` puts on a Linux host: the library with its header,
# pkg-config and CMake package files, the jar with a link for the JVM's
# native search path, the tools, their man pages and a commented
# configuration file. The test build of the library stays in the build.
include(CMakePackageConfigHelpers)

set(ZCV_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/zephyrcoilvault)

target_include_directories(zephyrcoilvault INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
install(TARGETS zephyrcoilvault EXPORT zephyrcoilvaultTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/zephyrcoilvault.h
              ${PROJECT_BINARY_DIR}/include/zephyrcoilvault_version.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/zephyrcoilvault/client.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zephyrcoilvault)

install(EXPORT zephyrcoilvaultTargets NAMESPACE zephyrcoilvault::
        DESTINATION ${ZCV_CMAKE_PACKAGE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/zephyrcoilvaultConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/zephyrcoilvaultConfig.cmake
                              INSTALL_DESTINATION ${ZCV_CMAKE_PACKAGE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/zephyrcoilvaultConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/zephyrcoilvaultConfig.cmake
              ${PROJECT_BINARY_DIR}/zephyrcoilvaultConfigVersion.cmake
        DESTINATION ${ZCV_CMAKE_PACKAGE_DIR})

# pkg-config paths relative to ${prefix}, so a staged tree resolves too.
foreach(kind LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${kind}}")
    set(ZCV_PC_${kind} "${CMAKE_INSTALL_${kind}}")
  else()
    set(ZCV_PC_${kind} "\${prefix}/${CMAKE_INSTALL_${kind}}")
  endif()
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/cmake/zephyrcoilvault.pc.in
               ${PROJECT_BINARY_DIR}/zephyrcoilvault.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/zephyrcoilvault.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(TARGETS zcvctl zcvsim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The jar under a versioned name with an unversioned link, and the natives
# in <libdir>/jni, which the JVM searches without -Djava.library.path.
if(TARGET zcv_java)
  set(ZCV_JAVA_DIR ${CMAKE_INSTALL_DATADIR}/java)
  set(versioned_jar zephyrcoilvault-${PROJECT_VERSION}.jar)
  install(FILES $<TARGET_PROPERTY:zcv_java,JAR_FILE> DESTINATION ${ZCV_JAVA_DIR} RENAME ${versioned_jar})
  install(CODE "
    set(java_dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${ZCV_JAVA_DIR}\")
    file(CREATE_LINK ${versioned_jar} \"\${java_dir}/zephyrcoilvault.jar\" SYMBOLIC)
    set(jni_dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/jni\")
    file(MAKE_DIRECTORY \"\${jni_dir}\")
    file(CREATE_LINK ../libzephyrcoilvault.so.${PROJECT_VERSION_MAJOR}
         \"\${jni_dir}/libzephyrcoilvault.so\" SYMBOLIC)")
endif()

# The commented configuration file, at the path the library reads; one that
# is already there is the administrator's and stays.
get_filename_component(ZCV_CONFIG_DIR "${ZCV_CONFIG_FILE}" DIRECTORY)
get_filename_component(ZCV_CONFIG_NAME "${ZCV_CONFIG_FILE}" NAME)
install(CODE "
  if(EXISTS \"\$ENV{DESTDIR}${ZCV_CONFIG_FILE}\")
    message(STATUS \"Kept: \$ENV{DESTDIR}${ZCV_CONFIG_FILE}\")
  else()
    file(INSTALL ${PROJECT_SOURCE_DIR}/etc/cfgfile.ini DESTINATION ${ZCV_CONFIG_DIR}
         RENAME ${ZCV_CONFIG_NAME} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  endif()")
