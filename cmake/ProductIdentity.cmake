# Who the shipped product is on the machines it installs on: where its package
# folder lies below the common application data folder
# (<VENDOR_FOLDER_NAME>\<INSTALLERS_FOLDER_NAME>\<PRODUCT_FOLDER_NAME>), the
# file name its driver package is written under there, the driver's settings
# key and its device-monitor service. A release engineer sets them as cache
# variables, for example -DPRODUCT_FOLDER_NAME=TAVRIN. add_launcher_variant
# takes each as its default, the stand-in packages install below the vendor's
# and product's folders, and the tests read them from what TestValues.cmake
# generates.
set(_product_identity
    "VENDOR_FOLDER_NAME|Kesmora|the vendor's folder below the common application data folder"
    "INSTALLERS_FOLDER_NAME|Installers|the folder of the vendor's installers, in the vendor's folder"
    "PRODUCT_FOLDER_NAME|TAVRIN|the product's folder, in the installers' folder, also the help's caption"
    "PACKAGE_FILE_NAME|KesmoraInstaller.msi|the file name the driver package is written under"
    "DRIVERS_KEY_PATH|Software\\Kesmora\\Audio\\Drivers|the drivers key, below HKEY_LOCAL_MACHINE"
    "SETTINGS_GUID|{3C94B1E4-D8A5-42F1-813F-629E9DCD99E5}|the driver settings key in the drivers key, braced"
    "DEVICE_MONITOR_SERVICE_NAME|TAVRINAudioDevMon|the device-monitor service told of the install")

# Makes each "KEY|default|meaning" row a cache variable, described as
# "<kind>: <meaning>", and names the keys in keysVariable.
function(declare_product_values keysVariable kind)
    set(keys "")
    foreach(row IN LISTS ARGN)
        string(REPLACE "|" ";" entry "${row}")
        list(GET entry 0 key)
        list(GET entry 1 default)
        list(GET entry 2 meaning)
        set(${key} "${default}" CACHE STRING "${kind}: ${meaning}")
        list(APPEND keys ${key})
    endforeach()
    set(${keysVariable} "${keys}" PARENT_SCOPE)
endfunction()

declare_product_values(PRODUCT_IDENTITY_KEYS "Shipped product" ${_product_identity})
