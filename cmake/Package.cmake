# The Debian package (scripts/package.sh): CPack's DEB generator over the install rules.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME thermava)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Thermava developers")
set(CPACK_PACKAGE_CONTACT "The Thermava developers <thermava@thermava.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop client for USB thermal-imaging cameras")
set(CPACK_PACKAGE_DESCRIPTION
  "Thermava shows the live picture of a USB thermal-imaging camera with
pseudo-colour palettes or an adjustable temperature window, marks the
hottest point and shows the scene's temperatures. It takes JPEG snapshots,
records H.264 MP4 segments and looks after the camera: flat-field
correction, standby, restart, device information, bad pixel tables and
firmware upgrade. thermava-cli does the same without a window.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)            # thermava_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)             # Depends from the binaries, via dpkg-shlibdeps
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
# udev must learn the camera rule at once, so a camera plugged in after installing works.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${PROJECT_SOURCE_DIR}/resources/linux/debian/postinst
  ${PROJECT_SOURCE_DIR}/resources/linux/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
