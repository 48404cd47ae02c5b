# Installing and packaging. `cmake --install` puts opfreq and its manual page in place; CPack
# makes a .deb on Linux (cmake --build --preset release --target package) and a zip for
# Windows (--preset windows). No sample image goes into a package.
include(GNUInstallDirs)

set(CPACK_PACKAGE_NAME opfreq)
set(CPACK_PACKAGE_VENDOR "The opfreq developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "opcode and call-target frequencies of 8051 firmware images")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  # As text files that Windows opens with a double click and shows with CR LF line ends.
  configure_file(doc/README-windows.txt.in README.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(LICENSE LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  install(TARGETS opfreq RUNTIME DESTINATION .)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/README.txt ${CMAKE_CURRENT_BINARY_DIR}/LICENSE.txt
          DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME opfreq-${PROJECT_VERSION}-win64)
else()
  configure_file(doc/opfreq.1.in opfreq.1 @ONLY)
  # Debian keeps manual pages and change logs compressed, without a time stamp.
  add_custom_command(OUTPUT opfreq.1.gz changelog.gz
                     COMMAND gzip -9nc opfreq.1 > opfreq.1.gz
                     COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/doc/changelog > changelog.gz
                     DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/opfreq.1 doc/changelog)
  add_custom_target(opfreq_docs ALL DEPENDS opfreq.1.gz changelog.gz)
  install(TARGETS opfreq RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/opfreq.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES doc/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The opfreq developers <opfreq@example.org>")
  set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_PACKAGE_DESCRIPTION "opfreq reads an MCS-51 (8051-family) program-memory image, as a raw binary,
Intel HEX or Motorola S-records, and reports which opcodes occur most often
and which subroutine addresses are called most often. Its plain-text report
comes from one linear pass over every byte, a quick fingerprint of an image;
options count only the code reached from the vectors, only the bytes a HEX
file wrote, or one bank, and write JSON or CSV for scripts.")
endif()
include(CPack)
