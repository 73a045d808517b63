; The installer of Relvano for Windows (docs/WINDOWS.md): compiled after the bundle step with
;   iscc /DVersion=1.8.0 packaging\windows\relvano.iss
; from the source folder; the version is project()'s in CMakeLists.txt.
#ifndef Version
  #error Pass the version: iscc /DVersion=X.Y.Z packaging\windows\relvano.iss
#endif

[Setup]
; Paths below are from the source folder, whatever folder iscc is started in.
SourceDir=..\..
; The installation's identity: never change it.
AppId={{F5F84A4C-E24D-450B-8907-2D6385DEF436}
AppName=Relvano
AppVerName=Actualizaciones NORVIA {#Version}
AppVersion={#Version}
AppPublisher=Relvano
DefaultDirName={autopf}\Relvano
DefaultGroupName=Relvano
OutputBaseFilename=relvano-{#Version}-setup
SetupIconFile=packaging\windows\relvano.ico
UninstallDisplayIcon={app}\relvano.exe
ArchitecturesInstallIn64BitMode=x64
ArchitecturesAllowed=x64
PrivilegesRequired=admin
Compression=lzma2
SolidCompression=yes

[Languages]
Name: "es"; MessagesFile: "compiler:Languages\Spanish.isl"

[Files]
; The run-time installer is not one of the programs' files: it goes to {tmp} alone.
Source: "dist\bin\*"; Excludes: "vc_redist.x64.exe"; DestDir: "{app}"; Flags: recursesubdirs ignoreversion
; MSVC builds only: the compiler's run-time, installed once and removed after
Source: "dist\bin\vc_redist.x64.exe"; DestDir: "{tmp}"; Flags: deleteafterinstall skipifsourcedoesntexist

[Icons]
Name: "{group}\Actualizaciones NORVIA"; Filename: "{app}\relvano.exe"
Name: "{autodesktop}\Actualizaciones NORVIA"; Filename: "{app}\relvano.exe"; Tasks: escritorio

[Tasks]
Name: "escritorio"; Description: "Crear un icono en el escritorio"

[Run]
Filename: "{tmp}\vc_redist.x64.exe"; Parameters: "/install /quiet /norestart"; \
  StatusMsg: "Instalando el entorno de ejecución de Visual C++..."; \
  Check: FileExists(ExpandConstant('{tmp}\vc_redist.x64.exe'))
Filename: "{app}\relvano.exe"; Description: "Abrir Relvano"; Flags: nowait postinstall skipifsilent
