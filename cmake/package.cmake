# Installing the interactive program and the batch runner, and the Debian
# package CPack makes of them (scripts/package.sh; tests/package checks it).
include(GNUInstallDirs)

# The help and summary files, found by the installed program through this
# folder relative to its own: ../share/lemvaris beside /usr/bin.
set(LEMVARIS_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/lemvaris)
file(RELATIVE_PATH lemvaris_data_from_bin ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_DATADIR}/lemvaris)
target_compile_definitions(lemvaris PRIVATE LEMVARIS_DATA_DIR="${lemvaris_data_from_bin}")

set(packaging ${PROJECT_SOURCE_DIR}/packaging)
# Debian's folder for the package's documents is named after the package.
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/lemvaris)
install(TARGETS lemvaris lemvaris-batch RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/data/kervatin.hlp ${PROJECT_SOURCE_DIR}/data/kervatin.sum
        DESTINATION ${LEMVARIS_INSTALL_DATADIR})
install(FILES ${packaging}/lemvaris.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/web/icon.svg RENAME lemvaris.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/web/icon-192.png RENAME lemvaris.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/192x192/apps)
install(FILES ${packaging}/copyright DESTINATION ${doc_dir})
install(FILES ${packaging}/lintian-overrides RENAME lemvaris
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides)

# Manual pages and the changelog go in gzipped without a time stamp (-n), so
# that the same sources give the same package.
set(gzipped)
foreach(source lemvaris.1 lemvaris-batch.1 changelog)
  set(output ${PROJECT_BINARY_DIR}/packaging/${source}.gz)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packaging
    COMMAND sh -c "gzip -9nc \"$1\" > \"$2\"" gzip ${packaging}/${source} ${output}
    DEPENDS ${packaging}/${source} VERBATIM)
  list(APPEND gzipped ${output})
endforeach()
add_custom_target(lemvaris_package_files ALL DEPENDS ${gzipped})
install(FILES ${PROJECT_BINARY_DIR}/packaging/lemvaris.1.gz
              ${PROJECT_BINARY_DIR}/packaging/lemvaris-batch.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_BINARY_DIR}/packaging/changelog.gz DESTINATION ${doc_dir})

set(LEMVARIS_PACKAGE_MAINTAINER "Lemvaris maintainers <maintainers@lemvaris.invalid>"
    CACHE STRING "The Debian package's Maintainer field")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lemvaris)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${LEMVARIS_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "teaching simulation of a liquid on a lattice")
set(CPACK_PACKAGE_DESCRIPTION
"Particles pulled by the walls (adhesion), by each other (cohesion) and by
gravity, moved one at a time by an exact Monte-Carlo rule. The parameters are
asked on a text console in Hungarian, the run is shown live in a window or
drawn in the terminal, and a summary closes it.

lemvaris-batch runs the same simulation without a window, for experiments: it
writes the run's measures as CSV, the final grid, and pictures of the screen
as PNG or animated GIF.")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
    GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)

# The package's test packs this build folder (label package).
if(LEMVARIS_TESTS)
  find_program(LEMVARIS_DPKG_DEB dpkg-deb)
  if(LEMVARIS_DPKG_DEB)
    add_test(NAME package COMMAND bash ${PROJECT_SOURCE_DIR}/tests/package/package.sh
      ${PROJECT_VERSION} ${PROJECT_BINARY_DIR} ${CMAKE_CPACK_COMMAND})
    set_tests_properties(package PROPERTIES LABELS package TIMEOUT 600 SKIP_RETURN_CODE 77)
  endif()
endif()
