# cmake --install: the program folder under <prefix>/lib/kambrix (the programs,
# the face library and everything the build copies beside them), launchers in
# <prefix>/bin, a desktop entry for JPEG files, and the sample portraits.
set(KAMBRIX_INSTALL_PROGRAM_DIR lib/kambrix)
install(TARGETS kambrix kambrix_batch facedetect
        RUNTIME DESTINATION ${KAMBRIX_INSTALL_PROGRAM_DIR}
        LIBRARY DESTINATION ${KAMBRIX_INSTALL_PROGRAM_DIR})
install(DIRECTORY ${KAMBRIX_PROGRAM_DIR}/ DESTINATION ${KAMBRIX_INSTALL_PROGRAM_DIR}
        FILES_MATCHING PATTERN "*.ini" PATTERN "*.xml" PATTERN "*.txt" PATTERN "*.flat"
        REGEX "/Frame/[^/]+$"
        PATTERN "CMakeFiles" EXCLUDE)
foreach(program kambrix kambrix-batch)
    set(KAMBRIX_LAUNCHED ${program})
    configure_file(${PROJECT_SOURCE_DIR}/data/install/launcher.in ${CMAKE_BINARY_DIR}/launchers/${program} @ONLY)
    install(PROGRAMS ${CMAKE_BINARY_DIR}/launchers/${program} DESTINATION bin)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/data/install/kambrix.desktop DESTINATION share/applications)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/samples/ DESTINATION share/kambrix/samples)
