include(CMakePackageConfigHelpers)

install(TARGETS photogeo EXPORT photogeoTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY include/photogeo DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT photogeoTargets NAMESPACE photogeo::
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/photogeo)

configure_package_config_file(cmake/photogeoConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/photogeoConfig.cmake
    INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/photogeo)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/photogeoConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/photogeoConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/photogeoConfigVersion.cmake
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/photogeo)

set(PHOTOGEO_PC_CFLAGS "")
if(NOT BUILD_SHARED_LIBS)
    set(PHOTOGEO_PC_CFLAGS "-DPHOTOGEO_STATIC")
endif()
configure_file(cmake/photogeo.pc.in ${CMAKE_CURRENT_BINARY_DIR}/photogeo.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/photogeo.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
