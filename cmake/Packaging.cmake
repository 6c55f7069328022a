# A Debian package of the installed layout: cpack -G DEB in the build folder writes
# kavenra_<version>_<architecture>.deb.

# An installation or a package takes what the build made; cpack and make install would otherwise
# first build every target, the tests included.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kavenra)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "Teo Varensa")
set(CPACK_PACKAGE_CONTACT "Teo Varensa <contacto@kavenra.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch image resizer for the desktop")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://${KAVENRA_WEB_HOST}/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Folders made by the installation itself follow the umask otherwise.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${CPACK_PACKAGE_HOMEPAGE_URL}")
# The summary above is the first line of the package's description; this is the rest.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Kavenra resizes whole lists of images in one run: BMP, JPEG, PNG, TARGA,
TIFF, WebP, HEIC/HEIF, AVIF and camera RAW files, recognised by their
content. The size is given as width and height, as the longest side, or as
each RAW photo's own size; every image is resized with a chosen resampling
filter and saved in its own format or as JPEG, PNG, WebP or TIFF, with its
metadata and colour profile. It also runs from scripts and from the file
manager's context menu without a window (kavenra --resize). The interface
speaks Spanish, English, French, German, Italian and Portuguese.")
# The architecture comes from dpkg, and the libraries' packages from the binaries themselves.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the binaries do not link but the program needs: the font its windows are measured in, and
# xdg-open, through which the desktop opens the destination folder and the download page.
# The Qt plug-ins it loads (the X11 platform, the SVG image format) ship in the packages of the
# Qt libraries it links, which the line above finds; its sounds play through the multimedia
# library itself, without a plug-in.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Every Debian package states its copyright and licence in the machine-readable format.
install(FILES "${CMAKE_CURRENT_LIST_DIR}/copyright" DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/kavenra")

include(CPack)
