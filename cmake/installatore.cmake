# The Windows installer, made with NSIS (makensis): BVBackup-<version>-setup.exe in the build
# folder. `cmake --build --preset windows-mingw --target installer`.
find_program(BV_MAKENSIS makensis)
set(BV_SETUP ${CMAKE_BINARY_DIR}/BVBackup-${PROJECT_VERSION}-setup.exe)
set(BV_PACCO ${CMAKE_BINARY_DIR}/installatore)
if(BV_MAKENSIS)
  # The executables go in without their debugging symbols.
  add_custom_command(OUTPUT ${BV_SETUP}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${BV_PACCO}
    COMMAND ${CMAKE_STRIP} -o ${BV_PACCO}/bvbackup.exe $<TARGET_FILE:bvbackup>
    COMMAND ${CMAKE_STRIP} -o ${BV_PACCO}/bvbackup-cli.exe $<TARGET_FILE:bvbackup-cli>
    COMMAND ${BV_MAKENSIS} -V2 -INPUTCHARSET UTF8
            -DVERSIONE=${PROJECT_VERSION}
            -DESEGUIBILE=${BV_PACCO}/bvbackup.exe
            -DRIGA_DI_COMANDO=${BV_PACCO}/bvbackup-cli.exe
            -DLEGGIMI=${PROJECT_SOURCE_DIR}/app/leggimi.htm
            -DICONA=${PROJECT_SOURCE_DIR}/app/bvbackup.ico
            -DUSCITA=${BV_SETUP}
            ${PROJECT_SOURCE_DIR}/app/installatore.nsi
    DEPENDS bvbackup bvbackup-cli ${PROJECT_SOURCE_DIR}/app/installatore.nsi
            ${PROJECT_SOURCE_DIR}/app/leggimi.htm
    COMMENT "Installatore ${BV_SETUP}"
    VERBATIM)
  add_custom_target(installer DEPENDS ${BV_SETUP})
else()
  add_custom_target(installer
    COMMAND ${CMAKE_COMMAND} -E echo "makensis non trovato: installare il pacchetto nsis"
    COMMAND ${CMAKE_COMMAND} -E false)
endif()
