# The release: what `cmake --install` puts into a prefix, and the two packages CPack makes
# from it (`cpack` in the build folder, or the `package` target).

# Without a prefix of its own, an install goes into the build folder rather than into a
# Windows path that means nothing on the build machine.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX ${CMAKE_BINARY_DIR}/release CACHE PATH "Install prefix" FORCE)
endif()

# The panel, stripped once per build so that the zip and the installer carry the same bytes (the
# build's own copy keeps its debug information), and the settings file it starts with. Nothing
# else: the simulators, the control tool and the tests stay in the build folder.
set(KESTRUN_STRIPPED ${CMAKE_BINARY_DIR}/stripped/Kestrun.exe)
add_custom_command(OUTPUT ${KESTRUN_STRIPPED}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/stripped
  COMMAND ${CMAKE_STRIP} -o ${KESTRUN_STRIPPED} $<TARGET_FILE:Kestrun>
  DEPENDS Kestrun
  VERBATIM)
add_custom_target(kestrun_stripped ALL DEPENDS ${KESTRUN_STRIPPED})
install(PROGRAMS ${KESTRUN_STRIPPED} DESTINATION .)
install(FILES ${CMAKE_BINARY_DIR}/res/CPL.ini DESTINATION .)

set(CPACK_PACKAGE_NAME Kestrun)
set(CPACK_PACKAGE_VENDOR Vexmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Control panel of the Lumirel USB Audio Device")
set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_PACKAGE_FILE_NAME Kestrun-${PROJECT_VERSION}-win64)
# The zip's files go straight into the folder the user unpacks them to: beside the driver's
# osConfLibFlie\.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_PACKAGE_CHECKSUM SHA256)
# The installer's name differs per generator: Kestrun-<version>-setup.exe.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/CPackGenerators.cmake)
# cmake/nsis/NSIS.template.in is the installer script; CPack finds it on the module path.
list(PREPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR}/nsis)
# Its words in each language (Messages.nsh) lie beside it.
set(CPACK_KESTRUN_NSIS_DIR ${CMAKE_CURRENT_LIST_DIR}/nsis)
set(CPACK_NSIS_MUI_ICON ${CMAKE_SOURCE_DIR}/res/Kestrun.ico)
set(CPACK_NSIS_MUI_UNIICON ${CMAKE_SOURCE_DIR}/res/Kestrun.ico)
# The maker's copyright line and web address, as the panel shows them.
foreach(item COPYRIGHT WEB_ADDRESS)
  file(STRINGS ${CMAKE_SOURCE_DIR}/res/MakerInfo.h line REGEX "KESTRUN_MAKER_${item} ")
  string(REGEX REPLACE ".*\"(.*)\".*" "\\1" CPACK_KESTRUN_${item} "${line}")
endforeach()
include(CPack)
