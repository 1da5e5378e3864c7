# What Windows shows of the shipped executable, in its file properties, its
# elevation prompt and the support log's first line: the version block's
# names, version and legal notice, and the icon. A release engineer sets them
# as cache variables, for example -DPRODUCT_VERSION=2.1.0.118; the defaults
# give the block every earlier build carried. Every launcher build of the tree
# shows them; add_launcher_variant checks each (LauncherValues.cmake).
set(_product_display
    "VENDOR_DISPLAY_NAME|Pellond|the vendor's name: CompanyName"
    "PRODUCT_DISPLAY_NAME|TAVRIN Driver Installer|the product's name: ProductName and FileDescription"
    "PRODUCT_VERSION|1.0.5.29764|four numbers to 65535: the fixed versions and FileVersion, whose first three are ProductVersion"
    "PRODUCT_LEGAL_NOTICE|Copyright (C) Pellond. All rights reserved.|the legal notice: LegalCopyright")

include(ProductIdentity)
declare_product_values(PRODUCT_DISPLAY_KEYS "Version block" ${_product_display})
set(PRODUCT_ICON "" CACHE FILEPATH "The executable's icon, an .ico file by its full path; empty: the drawn loudspeaker")
