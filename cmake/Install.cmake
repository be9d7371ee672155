# make install: the programs a user runs, what the desktop program keeps
# beside itself (the device programs it copies to the device and the engine
# runtime CABs), and the desktop entry with its icon, so that a desktop
# environment lists the program. PREFIX and DESTDIR as cmake --install takes
# them.
include(GNUInstallDirs)

foreach(program quorvane quorvane-cli cedevice wceload cereg
    Quorvane2003 Quorvane2005 QuorvaneSP2003 QuorvaneSP2005 QuorvaneWCE2003 QuorvaneWCE2005 Haltquill)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

get_property(runtime_cabs GLOBAL PROPERTY QUORVANE_RUNTIME_CABS)
if(runtime_cabs)
  install(FILES ${runtime_cabs} DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

if(TARGET quorvane)
  install(FILES ${PROJECT_SOURCE_DIR}/data/quorvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/data/quorvane.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()
