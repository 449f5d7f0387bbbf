include(CMakePackageConfigHelpers)

install(TARGETS lkmdb7 EXPORT lkmdb7Targets
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
if(LKMDB7_MINGW_RUNTIME)
    # The DLL cannot load without the C++ runtime it shares with its host.
    install(FILES ${LKMDB7_MINGW_RUNTIME} DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# Headers keep their folders, so "lkmdb7/items/Record.h" reads the same installed as in the tree.
# The internal/ folders and the platform backends are the library's own and stay behind: no
# installed header includes them.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/lkmdb7/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/lkmdb7
        FILES_MATCHING PATTERN "*.h"
        PATTERN "internal" EXCLUDE
        PATTERN "posix" EXCLUDE
        PATTERN "win32" EXCLUDE)
install(FILES ${LKMDB7_GENERATED_INCLUDE}/lkmdb7/Version.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/lkmdb7)

install(EXPORT lkmdb7Targets NAMESPACE lkmdb7:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/lkmdb7)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/lkmdb7Config.cmake.in
    ${PROJECT_BINARY_DIR}/lkmdb7Config.cmake
    INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/lkmdb7)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/lkmdb7ConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/lkmdb7Config.cmake ${PROJECT_BINARY_DIR}/lkmdb7ConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/lkmdb7)

# The prefix is found relative to the .pc file, so the package works wherever it is installed
# (cmake --install --prefix, DESTDIR, a copied tree), not only under CMAKE_INSTALL_PREFIX.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
    set(LKMDB7_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
    set(LKMDB7_PC_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
else()
    file(RELATIVE_PATH _up "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
    string(REGEX REPLACE "/$" "" _up "${_up}")
    set(LKMDB7_PC_PREFIX "\${pcfiledir}/${_up}")
    set(LKMDB7_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
endif()
if(IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
    set(LKMDB7_PC_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}")
else()
    set(LKMDB7_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/lkmdb7.pc.in ${PROJECT_BINARY_DIR}/lkmdb7.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/lkmdb7.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
