# The bundled demo: a stand-in for the product installer and two runnable distribution
# folders under <build>/demo, one for each screen of the launcher.
add_executable(VORMELInstall WIN32 demo/installer/InstallerStandIn.cpp)

set(DEMO_OUT ${CMAKE_BINARY_DIR}/demo)
add_custom_target(demo ALL
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${DEMO_OUT}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${DEMO_OUT}/program/Installer ${DEMO_OUT}/database
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:VORMELSetup> ${DEMO_OUT}/program/
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/demo/program/InstallList.txt ${DEMO_OUT}/program/
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:VORMELInstall> ${DEMO_OUT}/program/Installer/
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/demo/database ${DEMO_OUT}/database
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:VORMELSetup> ${DEMO_OUT}/database/
  DEPENDS VORMELSetup VORMELInstall
  COMMENT "Assembling the demo distribution folders"
  VERBATIM)
