// Resource identifiers shared by regconsole.rc and the code: plain numbers,
// read by windres and rc.exe alike.
#ifndef REGCONSOLE_RESOURCE_H
#define REGCONSOLE_RESOURCE_H

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#define IDD_CONSOLE 101

// Device
#define IDC_DEVICE_TEXT 1001
#define IDC_FIND_DEVICE 1002

// Registers
#define IDC_REG_SPACE 1101
#define IDC_REG_INDEX 1102
#define IDC_REG_COUNT 1103
#define IDC_REG_VALUE 1104
#define IDC_REG_READ 1105
#define IDC_REG_WRITE 1106

// I2C
#define IDC_I2C_ADDRESS 1201
#define IDC_I2C_PROBE 1202
#define IDC_I2C_LAYOUT 1203
#define IDC_I2C_SUBADDRESS 1204
#define IDC_I2C_COUNT 1205
#define IDC_I2C_DATA 1206
#define IDC_I2C_READ 1207
#define IDC_I2C_WRITE 1208

// GPIO
#define IDC_GPIO_MASK 1301
#define IDC_GPIO_SET_MASK 1302
#define IDC_GPIO_VALUE 1303
#define IDC_GPIO_READ 1304
#define IDC_GPIO_WRITE 1305

// EEPROM
#define IDC_EEPROM_VIEW 1401
#define IDC_EEPROM_READ 1402
#define IDC_EEPROM_FILE 1403
#define IDC_EEPROM_BROWSE 1404
#define IDC_EEPROM_SAVE 1405
#define IDC_EEPROM_RESTORE 1406

// Log
#define IDC_LOG 1501
#define IDC_LOG_COPY 1502
#define IDC_RECORD_FILE 1503
#define IDC_RECORD 1504

#endif
