// English string table of kelpconf and kelpftpd.
//
// Every message argument arrives as text, so each placeholder is "%s"; codes are
// pre-formatted by the callers. Ids whose message has no text are left out on purpose:
// the catalogue then shows the identifier alone. Keep each text below 512 bytes, the
// size the catalogue loads.
#include "StringTable.h"

namespace kelp {
namespace {

// Sorted by id; one row per id.
constexpr StringEntry kKelpconfEn[] = {
    // Main window: About menu item, title, board status words (bracketed and plain) and the
    // name of the board lock.
    {101, "About Kelpset Tool"},
    {200, "Kelpset Tool"},
    {250, "(NEW)"},
    {251, "(INST)"},
    {252, "(STOP)"},
    {253, "(BOOT)"},
    {254, "(INACTIVE)"},
    {255, "(ACTIVE)"},
    {256, "(SHUTDOWN)"},
    {257, "(WARN)"},
    {258, "(DOWN)"},
    {259, "(PANIC)"},
    {260, "(DUMP)"},
    {261, "(DUMPSKIP)"},
    {262, "(HUNGUP)"},
    {263, "(UNKNOWN)"},
    {264, "(FATAL)"},
    {265, "(DISUSE)"},
    {300, "NEW"},
    {301, "INST"},
    {302, "STOP"},
    {303, "BOOT"},
    {304, "INACTIVE"},
    {305, "ACTIVE"},
    {306, "SHUTDOWN"},
    {307, "WARN"},
    {308, "DOWN"},
    {309, "PANIC"},
    {310, "DUMP"},
    {311, "DUMPSKIP"},
    {312, "HUNGUP"},
    {313, "UNKNOWN"},
    {314, "FATAL"},
    {315, "DISUSE"},
    // NAS OS installation progress texts.
    {500, "  0%"},
    {501, "  1%"},
    {502, "  5%"},
    {503, " 10%"},
    {504, " 15%"},
    {505, " 20%"},
    {506, " 25%"},
    {507, " 30%"},
    {508, " 35%"},
    {509, " 40%"},
    {510, " 45%"},
    {511, " 50%"},
    {512, " 55%"},
    {513, " 60%"},
    {514, " 65%"},
    {515, " 70%"},
    {516, " 75%"},
    {517, " 80%"},
    {518, " 85%"},
    {519, " 90%"},
    {520, " 95%"},
    {521, "Completed"},
    {522, "Failed(0x%08x)"},
    {600, "__kelp_sos_timer_mutex_%d__"},

    {1008, "NAS OS installation process has completed."},
    {1009, "Now Installing..."},
    {1010, "Installation process has completed."},
    {1050, "Now Installing...[maximum %s minutes]"},
    {1051, "The NAS OS could not be updated."},
    {1052, "Failed to reboot the NAS OS."},

    {2000, "Kelpset Tool Version 05-00-01"},
    {2002, "kelpconf.exe ver.%s"},
    {2051, "Now Rebooting...[maximum %d minutes]"},
    {2052, "02-00"},
    {2053, "05-00"},
    // Status of the NAS Cluster Management LU and NAS OS LU recovery dialogs.
    {2500, "Unknown"},
    {2501, "Normal"},
    {2502, "Now saving..."},
    {2503, "Now restoring..."},
    {2504, "Now stopping the cluster..."},
    {2505, "Now removing the cluster..."},
    {2506, "Now Rebooting all NAS OSs..."},
    // Dump status words of the download dialog.
    {2510, "Normal"},
    {2511, "Now downloading..."},
    {2512, "Nothing"},
    {2513, "Unknown"},
    // Status of the system LU recovery dialog.
    {2601, "Unknown"},
    {2602, "Backup data does not exist"},
    {2603, "Now saving backup data..."},
    {2604, "Now uploading backup data..."},
    {2605, "Normal"},
    {2606, "Now expanding backup data..."},
    {2607, "Now restoring..."},
    {2608, "Failed"},
    {2609, "Now Rebooting all NAS OSs..."},

    // LU initialisation and installation questions.
    {3490, "Another task is initializing the error information LU."},
    {3491, "Another task is initializing the NAS Cluster Management LU."},
    {3492, "Another task is initializing the NAS Cluster Management LU and the error "
           "information LU."},
    {3493, "The NAS Cluster Management LU will now be initialized. \n"
           "Is this OK?"},
    {3494, "The error information LU will now be initialized. \n"
           "Is this OK?"},
    {3495, "The NAS Cluster Management LU and the error information LU will now be "
           "initialized. \n"
           "Is this OK?"},
    {3496, "The selected products will now be installed. \n"
           "Is this OK?"},
    {3497, "%s will now be uninstalled. \n"
           "Is this OK?"},
    {3498, "An update installation will now be performed for the NAS OS. \n"
           "Is this OK? \n"
           "[Yes]: Perform the update installation \n"
           "[No]: Perform a new installation \n"
           "[Cancel]: Do not perform an installation"},
    {3499, "A new installation will now be performed for the NAS OS. \n"
           "If a program product is installed in the specified NNC, \n"
           "it will be cleared. Is this OK?"},

    // Maintenance PC errors.
    {3501, "The startup parameter is invalid. \n"
           "Command line: %s \n"
           "Acquire the maintenance PC logs, and then contact the Technical Support "
           "Center."},
    {3502, "The program could not be started because a resource required on the "
           "maintenance PC is not available.\n"
           "Restart the maintenance PC, and then try again.\n"
           "If the error occurs again, acquire the maintenance PC logs, and then contact "
           "the Technical Support Center."},
    {3503, "The maintenance PC memory is insufficient.\n"
           "Close any applications that are not needed, and then try again.\n"
           "If the error occurs again, restart the maintenance PC.\n"
           "(size = %s)"},
    {3504, "The free memory of the maintenance PC is low.\n"
           "Close any applications that are not needed before continuing the operation."},
    {3505, "A file required by Kelpset was not found on the maintenance PC.\n"
           "Acquire the maintenance PC logs, and then contact the Technical Support "
           "Center."},
    {3506, "A file I/O error occurred in SVP.\n"
           "Check the free space and the access permissions of the maintenance PC disk.\n"
           "If the error occurs again, acquire the maintenance PC logs, and then contact "
           "the Technical Support Center."},
    {3507, "The file is invalid. \n"
           "File name: %s \n"
           "Acquire the maintenance PC logs, and then contact the Technical Support "
           "Center."},
    {3508, "An internal error occurred. (code = %s)\n"
           "Acquire the maintenance PC logs, and then contact the Technical Support "
           "Center."},
    {3509, "An NNC has not been installed. \n"
           "Install an NNC."},

    // Communication and NAS OS errors.
    {3514, "A communication error occurred. (%s)\n"
           "1. Check that the LAN cable between the maintenance PC and the NNC is "
           "connected.\n"
           "2. Check the IP address of the maintenance PC.\n"
           "3. Check that the NAS OS of the NNC is running.\n"
           "4. Close the window, wait a while, and then try again.\n"
           "5. If the error occurs again, acquire the maintenance PC logs, and then "
           "contact the Technical Support Center."},
    {3515, "A timeout error occurred.\n"
           "Check the status of the NNC and the LAN connection to the maintenance PC, "
           "and then try again.\n"
           "If the error occurs again, acquire the maintenance PC logs, and then contact "
           "the Technical Support Center.\n"
           "(code = %s)"},
    {3516, "An error occurred on the NAS OS. (code = %s)\n"
           "Check the status of the NNC.\n"
           "Acquire the maintenance PC logs, and then contact the Technical Support "
           "Center."},
    {3517, "An error occurred on the NNC.\n"
           "Check the status of the NNC.\n"
           "Acquire the maintenance PC logs, and then contact the Technical Support "
           "Center."},
    {3518, "Processing finished normally."},

    // Errors reported by the disk subsystem through the maintenance API.
    {3519, "An invalid parameter was detected while the disk subsystem was being "
           "accessed. (code = %s)\n"
           "Acquire the maintenance PC logs, and then contact the Technical Support "
           "Center."},
    {3520, "An internal processing error occurred on the maintenance PC. (code = %s)\n"
           "Restart Kelpset, and then try again.\n"
           "If the error occurs again, acquire the maintenance PC logs, and then contact "
           "the Technical Support Center."},
    {3521, "An error occurred while the disk subsystem was being accessed.\n"
           "Acquire the maintenance PC logs, and then contact the Technical Support "
           "Center."},
    {3522, "An invalid value was received from the disk subsystem. (code = %s)\n"
           "Acquire the maintenance PC logs, and then contact the Technical Support "
           "Center."},
    {3523, "The disk subsystem does not support the requested operation. (code = %s)\n"
           "Acquire the maintenance PC logs, and then contact the Technical Support "
           "Center."},
    {3524, "A timeout occurred while the disk subsystem was being accessed. "
           "(code = %s)\n"
           "Wait a while, and then try again.\n"
           "If the error occurs again, acquire the maintenance PC logs, and then contact "
           "the Technical Support Center."},
    {3525, "No NNC is installed in the specified location. (code = %s)\n"
           "Check the NNC configuration of the disk subsystem."},
    {3526, "An attempt to set parameters in the disk subsystem has failed. "
           "(code = %s)\n"
           "Acquire the maintenance PC logs, and then contact the Technical Support "
           "Center."},
    {3527, "An error occurred in the disk subsystem. (code = %s)\n"
           "Check the status of the disk subsystem and the NNC.\n"
           "Acquire the maintenance PC logs, and then contact the Technical Support "
           "Center."},
    {3528, "The disk subsystem did not accept the request.\n"
           "Wait a while, and then try again.\n"
           "If the error occurs again, acquire the maintenance PC logs, and then contact "
           "the Technical Support Center."},
    {3529, "The disk subsystem rejected the request because the NNC is in a state in "
           "which it cannot be executed. (code = %s)\n"
           "Check the status of the NNC, and then try again.\n"
           "If the error occurs again, acquire the maintenance PC logs, and then contact "
           "the Technical Support Center."},
    {3530, "Kelpset will now finish."},

    // Program product installation results reported by the NNC.
    {3531, "An attempt to install the program product has failed. (code = %s)\n"
           "Acquire the maintenance PC logs, and then contact the Technical Support "
           "Center."},
    {3532, "An attempt to uninstall the program product has failed.\n"
           "Acquire the maintenance PC logs, and then contact the Technical Support "
           "Center."},
    {3533, "The installation file cannot be accessed. (code = %s)\n"
           "Check that the installation media is set correctly and that the installation "
           "folder can be read, and then try again."},
    {3534, "The program product cannot be installed because the free space on the NNC "
           "is insufficient. (code = %s)\n"
           "Acquire the maintenance PC logs, and then contact the Technical Support "
           "Center."},
    {3535, "The program product file is invalid. (code = %s)\n"
           "Check the installation media, and then try again."},
    {3536, "An error occurred while the program product was being installed on the NNC. "
           "(code = %s)\n"
           "Acquire the maintenance PC logs, and then contact the Technical Support "
           "Center."},
    {3537, "Setup has finished."},
    {3538, "Deletion has finished."},
    {3540, "The NAS OS could not be booted. (code = %s)\n"
           "Check the status of the NNC, and then try again."},
    {3541, "The NAS OS could not be rebooted. (code = %s)\n"
           "Check the status of the NNC, and then try again."},
    {3542, "The NAS OS could not be shut down. (code = %s)\n"
           "Check the status of the NNC, and then try again."},

    {3554, "The service (%s) could not be started.\n"
           "The following functions cannot be used:\n"
           "%s\n"
           "Acquire the maintenance PC logs, and then contact the Technical Support "
           "Center."},
    {3556, "An error occurred in NAS Manager. (code = %s)\n"
           "Acquire the maintenance PC logs, and then contact the Technical Support "
           "Center."},
    {3557, "The request cannot be executed in the current state of the NAS OS. "
           "(code = %s)\n"
           "Check the status of the NNC, and then try again."},
    {3558, "The NAS OS is processing another request. (code = %s)\n"
           "Wait a while, and then try again."},
    {3559, "The request cannot be executed because the cluster is running. "
           "(code = %s)\n"
           "Stop the cluster, and then try again."},
    {3563, "The disk subsystem cannot accept the request now.\n"
           "Wait a while, and then try again."},
    {3564, "The request could not be accepted because another maintenance operation is "
           "running on the disk subsystem. (code = %s)\n"
           "Wait until the other operation finishes, and then try again."},
    {3565, "The request could not be accepted because the NNC is being blocked or "
           "restored. (code = %s)\n"
           "Check the status of the NNC, and then try again."},
    {3566, "The NAS OS will be booted. \n"
           "Is this OK?"},
    {3567, "The NAS OS will be shut down. \n"
           "Is this OK?"},
    {3568, "The NAS OS will be rebooted. \n"
           "Is this OK?"},
    {3569, "It takes a maximum of %s minutes to acquire a NAS dump. \n"
           "Do you want to acquire it?"},
    {3570, "The NAS dump acquisition will now be stopped. \n"
           "Is this OK?"},
    {3571, "NNC will be reset. Is this OK?"},
    {3578, "The specified NNC is being used by another function.\n"
           "Finish the other function, and then try again."},
    {3583, "This is the first NAS OS installation for this NAS Tessel subsystem,\n"
           " so the NAS Cluster Management LU will be forcibly initialized. \n"
           "Is this OK ?"},
    {3588, "The entry (%s) is invalid.\n"
           "Enter the correct value, and then try again."},
    {3592, "The entry (%s) could not be applied to the NAS OS.\n"
           "Check the entered value and the network environment, and then try again."},
    {3593, "Do you want to cancel installation of the remaining products? "},
    {3596, "The NAS OS did not finish starting or stopping within the time limit. "
           "(code = %s)\n"
           "Check the status of the NNC.\n"
           "Acquire the maintenance PC logs, and then contact the Technical Support "
           "Center."},
    {3597, "The program product cannot be installed because the installation "
           "conditions are not satisfied. (code = %s)\n"
           "Check the versions of the NAS OS and the installed program products."},
    {3598, "The NAS OS will now be forcibly stopped, regardless of its status.\n"
           "Are you sure you want to continue?"},
    {3599, "Contact the system administrator to check whether\n"
           " a related service has switched to an alternative node or the service has "
           "stopped. \n"
           "Do you want to continue the processing ? "},

    // Cluster checks before stopping a node.
    {3609, "The cluster status of the node could not be acquired.\n"
           "If you continue, the services of the node might stop.\n"
           "Are you sure you want to continue?"},
    {3610, "The node is operating in the cluster.\n"
           "If you continue, the services of the node will stop.\n"
           "Are you sure you want to continue?"},
    {3611, "Ask the system administrator to switch the services of this node to the "
           "other node or to stop them before continuing.\n"
           "Are you sure you want to continue?"},
    {3612, "A NAS OS in the cluster is running.\n"
           "Stop all NAS OSs in the cluster before performing a new installation.\n"
           "Are you sure you want to continue?"},
    {3617, "This function cannot be executed because no running NAS OS was found, or "
           "the NAS OS version is earlier than %s.\n"
           "Start a NAS OS that supports this function, and then try again."},
    {3618, "The NAS OS version of %s could not be checked, or it is earlier than 04-00.\n"
           "This function cannot be used for this NNC."},
    {3620, "The NAS OS LU of %s has been recovered successfully. \n"
           "Restart the NAS OS of %s."},
    {3622, "The NAS Cluster Management LU has been recovered successfully.\n"
           "Click the [Reboot all] button to restart all NAS OSs in the NAS Tessel "
           "subsystem."},

    // LU recovery.
    {3633, "The backup data of the NAS OS LU of %s does not exist.\n"
           "The NAS OS LU cannot be recovered."},
    {3634, "The backup data of the NAS Cluster Management LU does not exist.\n"
           "The NAS Cluster Management LU cannot be recovered."},
    {3635, "This is not a state in which processing can be executed. Perform the "
           "operation when the status is Normal."},
    {3636, "Other recovery processing is already running on the NAS OS. (code = %s)\n"
           "Wait until the processing finishes, and then try again."},
    {3637, "The backup data required for the recovery does not exist. (code = %s)\n"
           "Check the backup status, and then try again."},
    {3638, "The NAS Cluster Management LU will now be recovered in the following "
           "steps:\n"
           "1. Stop the clusters.\n"
           "2. Restore the NAS Cluster Management LU.\n"
           "3. Remove the cluster definitions.\n"
           "Are you sure you want to continue?"},
    {3639, "%s cannot recover the NAS Cluster Management LU because the NAS OS version "
           "is old. \n"
           "Stop these NAS OSs, and then try again."},
    {3640, "An attempt to recover the NAS Cluster Management LU has failed.\n"
           "1. Stopping the clusters: %s\n"
           "2. Restoring the NAS Cluster Management LU: %s\n"
           "3. Removing the cluster definitions: %s\n"
           "Acquire the maintenance PC logs, and then contact the Technical Support "
           "Center."},

    // NAS dump download.
    {3643, "A dump file of %s does not exist yet, or it is being created.\n"
           "Wait a maximum of %s minutes, and then try again."},
    {3645, "The free space on drive %s is insufficient to download the dump file.\n"
           "Delete unnecessary files, and then try again."},
    {3646, "A dump file of %s will now be downloaded. \n"
           "Is this OK?"},
    {3647, "An error occurred while the dump file of %s was being downloaded. "
           "(code = %s)\n"
           "Acquire the maintenance PC logs, and then contact the Technical Support "
           "Center."},
    {3648, "A timeout occurred while the dump file was being downloaded. (code = %s)\n"
           "Close the window, and then reopen it until the status becomes Normal."},
    {3649, "A dump file of %s was downloaded successfully. \n"
           "File name: %s"},
    {3650, "The recovery cannot be executed because the cluster is running. "
           "(code = %s)\n"
           "Stop the cluster, and then try again."},
    {3653, "The program product cannot be installed while %s is operating in the "
           "cluster.\n"
           "Stop the node, and then try again."},
    {3690, "The operation will cause fatal damage to the subsystem.\n"
           "To continue processing, click OK.\n"
           "[OK]: Continues processing.\n"
           "[Cancel]: Cancels processing."},
    {3691, "This is not a state in which this operation can be executed. Close the "
           "window, and then check the NNC status."},
    {3742, "The services provided by the node might be affected.\n"
           "Are you sure you want to continue?"},
    {3784, "An attempt to acquire the network information from the NNC has failed.\n"
           "Check the status of the NNC, and then try again."},

    // Versions, timeouts, routing and network settings.
    {3801, "Kelpset cannot be used because the NAS OS version is newer than the version "
           "that Kelpset supports.\n"
           "Update Kelpset, and then restart it."},
    {3802, "The NAS OS version is newer than the version that Kelpset supports.\n"
           "Finish the running processing, close all windows, and then finish Kelpset.\n"
           "Update Kelpset, and then restart it."},
    {3803, "Kelpset does not support the version of the installation media."},
    {3804, "The version information of the program product is invalid.\n"
           "Check the installation media, and then try again."},
    {3807, "A timeout occurred while the NAS OS was being started or stopped. "
           "(code = %s)\n"
           "Check the status of the NNC.\n"
           "Acquire the maintenance PC logs, and then contact the Technical Support "
           "Center."},
    {3813, "An attempt to set the information on the NNC has failed. (code = %s)\n"
           "Check the status of the NNC, and then try again."},
    {3814, "An attempt to delete the following routing information has failed.\n"
           "Target: %s\n"
           "Netmask: %s\n"
           "Gateway: %s\n"
           "To continue deleting the remaining routing information, click OK.\n"
           "To stop, click Cancel."},
    {3815, "An attempt to delete the following routing information has failed.\n"
           "Target: %s\n"
           "Netmask: %s\n"
           "Gateway: %s"},
    {3817, "Routing information will now be deleted. \n"
           "Is this OK?"},
    {3818, "Routing information will now be deleted.\n"
           "The services provided by the node might be affected.\n"
           "Are you sure you want to continue?"},
    {3819, "The specified routing information has already been registered."},
    {3820, "An attempt to acquire the routing information from the NNC has failed.\n"
           "Check the status of the NNC, and then try again."},
    {3823, "The specified IP address or subnet mask conflicts with the network settings "
           "of the NNC. (code = %s)\n"
           "Enter the correct value, and then try again."},
    {3827, "Before recovering the NAS OS LU, check that the following have been "
           "done:\n"
           "- The NAS OS was newly installed without initializing the NAS Cluster "
           "Management LU.\n"
           "- The program products were installed again.\n"
           "- The network was set up.\n"
           "Are you sure you want to continue?"},
    {3828, "The NAS OS LU cannot be recovered. (code = %s)\n"
           "Acquire the maintenance PC logs, and then contact the Technical Support "
           "Center."},
    {3829, "Before recovering the NAS Cluster Management LU, restart all NAS OSs by "
           "clicking the [Reboot all] button.\n"
           "If all NAS OSs have already been restarted, click OK.\n"
           "[OK]: Continues processing.\n"
           "[Cancel]: Cancels processing."},
    {3830, "All NAS OSs will now restart. Is this OK?"},
    {3831, "All NAS OSs have restarted successfully."},
    {3832, "Some NAS OSs could not be restarted.\n"
           "NAS OSs that failed to restart:\n"
           "%s\n"
           "NAS OSs that were not restarted:\n"
           "%s\n"
           "Check the status of the NNCs, and then restart them."},
    {3833, "The number of routing information has reached the maximum.\n"
           "Delete unnecessary routing information,\n"
           "and then retry execution."},
    {3847, "Processing was canceled because a NAS dump will now be acquired."},
    {3850, "Processing will now stop because a hardware error was detected."},
    {3851, "Processing was canceled because the NNC will now be reset."},

    // Start-up, installation and recovery (second series).
    {4001, "The maintenance PC is running on battery power.\n"
           "Connect the AC adapter to the maintenance PC, and then try again."},
    {4002, "Kelpset was not started correctly.\n"
           "Start Kelpset from the array management program."},
    {4003, "An attempt to initialize Kelpset has failed.\n"
           "Check the following, and then restart Kelpset:\n"
           "- The trace folder in the settings file exists and can be written to.\n"
           "- The maintenance PC disk has enough free space.\n"
           "- The system folder of the maintenance PC can be accessed.\n"
           "If the error occurs again, acquire the maintenance PC logs, and then contact "
           "the Technical Support Center."},
    {4004, "Kelpset does not support the specified device."},
    {4005, "Kelpset does not support the operating system of this maintenance PC.\n"
           "Use a maintenance PC with a supported operating system."},
    {4006, "Kelpset is operating for another device. Finish Kelpset, and then restart "
           "it."},
    {4007, "The patch cannot be applied to the installed NAS OS version.\n"
           "Check the version of the patch and the NAS OS."},
    {4008, "The program product cannot be installed because a prerequisite program "
           "product is not installed. (code = %s)\n"
           "Install the prerequisite program product, and then try again."},
    {4009, "Perform the following operations before executing installation.\n"
           "%s\n"
           "After the operations are finished, click OK.\n"
           "To cancel the installation, click Cancel."},
    {4010, "A patch for which the NAS OS must be restarted was installed. \n"
           "Restart the NAS OS before starting operation. "},
    {4011, "A product cannot be installed when the NAS OS is stopped. \n"
           "Start the NAS OS, and then try again. \n"
           "To forcibly install a product, select the [Forcibly Install] checkbox, and "
           "then execute installation. "},
    {4012, "None of the selected products require installation. "},
    {4013, "The program product cannot be installed because the free space of the "
           "NAS OS is insufficient. (code = %s)\n"
           "Acquire the maintenance PC logs, and then contact the Technical Support "
           "Center."},
    {4014, "The installation media does not contain the NAS OS.\n"
           "Check the installation media, and then try again."},
    {4015, "Only some of the products are selected.\n"
           "Are you sure you want to install only the selected products?"},
    {4016, "The disk subsystem rejected the request because it does not support the "
           "operation. (code = %s)\n"
           "Acquire the maintenance PC logs, and then contact the Technical Support "
           "Center."},
    {4017, "The configuration information of the NNC could not be acquired.\n"
           "Check the status of the NNC, and then try again."},
    {4018, "An error occurred while the dump file was being downloaded.\n"
           "Check that the FTP service of the maintenance PC is running, that its login "
           "account is set up, and that the drive has enough free space."},
    {4019, "The LUs cannot be initialized while an installation is running on another "
           "NNC.\n"
           "Wait until the other installation finishes, and then try again."},
    {4020, "The NAS dump data acquired the previous time will be deleted.\n"
           "Are you sure you want to continue?"},
    {4022, "The NAS Cluster Management LU has been recovered, but the following "
           "settings must be made again.\n"
           "File share configuration:\n"
           "%s"
           "Service IP address information:\n"
           "%s"
           "Click the [Reboot all] button to restart all NAS OSs in the NAS Tessel "
           "subsystem."},
    {4023, "Check that the paths to the NAS Cluster Management LU and the NAS OS LUs of "
           "the previous system are defined.\n"
           "Are you sure you want to continue?"},
    {4024, "Recovery of the NAS Cluster Management LU and the NAS OS LUs will now "
           "start.\n"
           "Are you sure you want to continue?"},
    {4025, "Recovery of the NAS system LU ended normally.\n"
           "Click the Reboot All button to restart all NAS OSs\n"
           "in the NAS Tessel subsystem."},
    {4026, "An attempt to recover the NAS system LU has failed.\n"
           "1. Expanding the backup data: %s\n"
           "2. Restoring the NAS Cluster Management LU: %s\n"
           "3. Restoring the NAS OS LUs: %s\n"
           "Acquire the maintenance PC logs, and then contact the Technical Support "
           "Center."},
    {4027, "The NAS system LU cannot be recovered because both nodes of each cluster "
           "are not in the INACTIVE status.\n"
           "Make the status of both nodes INACTIVE, and then try again."},
    {4028, "The backup data of the NAS system LU is invalid. (code = %s)\n"
           "Check the backup data, and then try again."},
    {4029, "The backup data of the NAS system LU does not match the configuration of "
           "the NAS Tessel subsystem. (code = %s)\n"
           "Check the backup data, and then try again."},
    {4030, "A node whose status is \"ACTIVE\" exists.\n"
           "Make the status of all nodes INACTIVE, and then try again."},
    {4031, "The inherit installation cannot be performed because a NAS OS is running.\n"
           "Stop all NAS OSs, and then try again."},
    {4032, "The product you are attempting to install is not compatible with the NNC.\n"
           "Check the NNC model and product version, and then retry the operation."},
    {4033, "The inherit installation has finished."},
    {4034, "The NAS Cluster Management LU will be initialized, and the installed "
           "program products will be deleted.\n"
           "Are you sure you want to continue?"},
    {4035, "The disk subsystem rejected the request. (code = %s)\n"
           "Acquire the maintenance PC logs, and then contact the Technical Support "
           "Center."},
    {4036, "If you use this function to perform an installation,\n"
           "the installation processing will be performed for all nodes.\n"
           "\n"
           "installation-target-node%s"},
    {4037, "There is no node that can be restarted."},
    {4038, "The inherit installation cannot be performed because an NNC that does not "
           "support it is installed."},
    {4039, "The disk subsystem is busy and could not accept the request. (code = %s)\n"
           "Wait a while, and then try again."},

    {20206, "Kelpset Tool"},
    {20207, "Stop the cluster"},
    {20208, "Stop the node"},
    {20209, "Stop the service"},
};

// kelpftpd's trace header lines; its message texts are the kelpconf rows above.
constexpr StringEntry kKelpftpdOwnEn[] = {
    {105, "kelpftpd.exe ver.%s"},
    {106, "Kelpset Version 04-01-00 "},
};

// The lookup searches by halves: an id out of order would hide its neighbours.
template <std::size_t N>
constexpr bool IsSortedById(const StringEntry (&table)[N]) {
  for (std::size_t i = 1; i < N; ++i)
    if (table[i - 1].id >= table[i].id) return false;
  return true;
}
static_assert(IsSortedById(kKelpconfEn));
static_assert(IsSortedById(kKelpftpdOwnEn));

}  // namespace

std::span<const StringEntry> KelpconfStringsEn() { return kKelpconfEn; }

std::span<const StringEntry> KelpftpdOwnStringsEn() { return kKelpftpdOwnEn; }

}  // namespace kelp
