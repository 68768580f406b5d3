<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ko_KR">
<context>
    <name>ADASSection</name>
    <message>
        <source>안전운행기능(ADAS) 설정</source>
        <translation>Driver assistance (ADAS)</translation>
    </message>
    <message>
        <source>앞차출발알림 기능</source>
        <translation>Front car departure alert</translation>
    </message>
    <message>
        <source>차선이탈감지 기능</source>
        <translation>Lane departure warning</translation>
    </message>
    <message>
        <source>ADAS알림음</source>
        <translation>ADAS alert sound</translation>
    </message>
    <message>
        <source>안전운전도우미</source>
        <translation>Safe driving assistant</translation>
    </message>
    <message>
        <source>차선이탈민감도 설정</source>
        <translation>Lane departure sensitivity</translation>
    </message>
    <message>
        <source>좌측</source>
        <translation>Left</translation>
    </message>
    <message>
        <source>둔감</source>
        <translation>Low</translation>
    </message>
    <message>
        <source>민감</source>
        <translation>High</translation>
    </message>
    <message>
        <source>우측</source>
        <translation>Right</translation>
    </message>
</context>
<context>
    <name>AVControlBar</name>
    <message>
        <source>소리 켜기/끄기</source>
        <translation>Turn sound on or off</translation>
    </message>
    <message>
        <source>밝기 초기화</source>
        <translation>Reset brightness</translation>
    </message>
    <message>
        <source>CH%1 좌우/상하 반전</source>
        <translation>Flip CH%1 horizontally/vertically</translation>
    </message>
    <message>
        <source>증거 영상에 날짜, 시각, 속도, 위치 자막 넣기</source>
        <translation>Caption the clip with date, time, speed and position</translation>
    </message>
    <message>
        <source>표시한 구간을 증거 영상으로 저장</source>
        <translation>Save the marked span as an evidence clip</translation>
    </message>
    <message>
        <source>증거 영상 옆에 보고서(구간, 원본 파일과 SHA-256, 카메라별 화면, 경로, 속도, G-센서) 저장</source>
        <translation>Save a report beside the evidence clip (span, source files with SHA-256, each camera, route, speed, G-sensor)</translation>
    </message>
</context>
<context>
    <name>DriveModeSection</name>
    <message>
        <source>주행모드 설정</source>
        <translation>Driving mode</translation>
    </message>
    <message>
        <source>기본</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>타임랩스</source>
        <translation>Time-lapse</translation>
    </message>
    <message>
        <source>주차모드 설정</source>
        <translation>Parking mode</translation>
    </message>
    <message>
        <source>모션인식</source>
        <translation>Motion detection</translation>
    </message>
    <message>
        <source>초절전</source>
        <translation>Low power</translation>
    </message>
    <message>
        <source>사용안함(블랙박스 종료)</source>
        <translation>Off (dashcam shuts down)</translation>
    </message>
</context>
<context>
    <name>DriveStrip</name>
    <message>
        <source>이전 날</source>
        <translation>Previous day</translation>
    </message>
    <message>
        <source>다음 날</source>
        <translation>Next day</translation>
    </message>
</context>
<context>
    <name>FileList</name>
    <message>
        <source>녹화 영상이 없습니다.</source>
        <translation>There are no recordings.</translation>
    </message>
</context>
<context>
    <name>FolderChooser</name>
    <message>
        <source>이 폴더에 저장</source>
        <translation>Save in this folder</translation>
    </message>
    <message>
        <source>상위 폴더</source>
        <translation>Parent folder</translation>
    </message>
    <message>
        <source>새 폴더</source>
        <translation>New folder</translation>
    </message>
    <message>
        <source>만들기</source>
        <translation>Create</translation>
    </message>
    <message>
        <source>하위 폴더가 없습니다.</source>
        <translation>No folders inside.</translation>
    </message>
    <message>
        <source>취소</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>GeneralSection</name>
    <message>
        <source>기타설정</source>
        <translation>Other settings</translation>
    </message>
    <message>
        <source>전압설정(V)</source>
        <translation>Cut-off voltage (V)</translation>
    </message>
    <message>
        <source>* 저전압 차단 OFF 시 차량 배터리 방전 위험이 있습니다.</source>
        <translation>* With low-voltage cut-off OFF, the car battery may run flat.</translation>
    </message>
    <message>
        <source>LCD시간</source>
        <translation>LCD timeout</translation>
    </message>
    <message>
        <source>상시전원</source>
        <translation>Always on</translation>
    </message>
    <message>
        <source>1분</source>
        <translation>1 min</translation>
    </message>
    <message>
        <source>3분</source>
        <translation>3 min</translation>
    </message>
    <message>
        <source>시계화면</source>
        <translation>Clock screen</translation>
    </message>
    <message>
        <source>녹화화질</source>
        <translation>Recording quality</translation>
    </message>
    <message>
        <source>저화질</source>
        <translation>Low quality</translation>
    </message>
    <message>
        <source>고화질</source>
        <translation>High quality</translation>
    </message>
    <message>
        <source>녹화시간</source>
        <translation>Recording time</translation>
    </message>
    <message>
        <source>6시간</source>
        <translation>6 hours</translation>
    </message>
    <message>
        <source>12시간</source>
        <translation>12 hours</translation>
    </message>
    <message>
        <source>24시간</source>
        <translation>24 hours</translation>
    </message>
    <message>
        <source>48시간</source>
        <translation>48 hours</translation>
    </message>
    <message>
        <source>PC 시간 동기화</source>
        <translation>Sync with PC time</translation>
    </message>
    <message>
        <source>날짜</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>시간</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>세계표준시(시간)</source>
        <translation>GMT offset (hours)</translation>
    </message>
    <message>
        <source>시크릿 모드</source>
        <translation>Secret mode</translation>
    </message>
</context>
<context>
    <name>HeaderBar</name>
    <message>
        <source>5번 채널을 별도 창으로 보기</source>
        <translation>Show channel 5 in a separate window</translation>
    </message>
    <message>
        <source>전체 화면</source>
        <translation>Full screen</translation>
    </message>
    <message>
        <source>전체 화면 보기와 끝내기 (F, Esc)</source>
        <translation>Enter or leave full screen (F, Esc)</translation>
    </message>
    <message>
        <source>목록 숨기기</source>
        <translation>Hide the list</translation>
    </message>
    <message>
        <source>목록 보이기</source>
        <translation>Show the list</translation>
    </message>
    <message>
        <source>오른쪽 패널 숨기기</source>
        <translation>Hide the side panel</translation>
    </message>
    <message>
        <source>오른쪽 패널 보이기</source>
        <translation>Show the side panel</translation>
    </message>
</context>
<context>
    <name>LeftPanel</name>
    <message>
        <source>전체선택</source>
        <translation>Select all</translation>
    </message>
    <message>
        <source>녹화 시간</source>
        <translation>Recorded</translation>
    </message>
    <message>
        <source>크기</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>* 전원이 끊겨 마무리되지 않은 녹화입니다. 열면 복구해서 재생합니다.</source>
        <translation>* Left unfinished by a power loss: it is rebuilt when opened.</translation>
    </message>
</context>
<context>
    <name>OpenFilesDialog</name>
    <message>
        <source>MP4 파일 선택</source>
        <translation>Choose an MP4 file</translation>
    </message>
    <message>
        <source>MP4 파일 (*.mp4)</source>
        <translation>MP4 files (*.mp4)</translation>
    </message>
</context>
<context>
    <name>Overlays</name>
    <message>
        <source>SD 카드를 인식하지 못하였습니다.</source>
        <translation>The SD card was not recognized.</translation>
    </message>
    <message>
        <source>블랙박스 영상 다운로드</source>
        <translation>Download dashcam recordings</translation>
    </message>
    <message>
        <source>블랙박스 SD 카드가 올바르게 삽입되었는지 확인해 주세요.</source>
        <translation>Please check that the dashcam&apos;s SD card is inserted correctly.</translation>
    </message>
    <message>
        <source>확인</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>취소</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Korvane을 시작할 수 없습니다.</source>
        <translation>Korvane cannot start.</translation>
    </message>
    <message>
        <source>종료</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>컴퓨터의 영상 열기</source>
        <translation>Open recordings on this computer</translation>
    </message>
    <message>
        <source>폴더 열기</source>
        <translation>Open folder</translation>
    </message>
</context>
<context>
    <name>PlayButtonBar</name>
    <message>
        <source>재생 속도 (%1 %2, %3 %4)</source>
        <translation>Playback speed (%1 %2, %3 %4)</translation>
    </message>
    <message>
        <source>화면 확대</source>
        <translation>Magnifier</translation>
    </message>
    <message>
        <source>선택한 영상 다운로드</source>
        <translation>Download the selected recordings</translation>
    </message>
    <message>
        <source>다운로드할 채널</source>
        <translation>Channels to download</translation>
    </message>
    <message>
        <source>블랙박스 설정</source>
        <translation>Dashcam settings</translation>
    </message>
    <message>
        <source>정지</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>이전 영상</source>
        <translation>Previous recording</translation>
    </message>
    <message>
        <source>다음 영상</source>
        <translation>Next recording</translation>
    </message>
    <message>
        <source>주행 경로를 GPX 파일로 저장</source>
        <translation>Save the route as a GPX file</translation>
    </message>
    <message>
        <source>화면 확대는 채널 하나를 크게 볼 때 쓸 수 있습니다. 위의 탭에서 채널을 고르세요.</source>
        <translation>The magnifier works on one channel shown large. Choose a channel in the tabs above.</translation>
    </message>
    <message>
        <source>모든 채널의 현재 장면을 녹화된 그대로 사진으로 저장 (밝기·반전 제외)</source>
        <translation>Save every channel&apos;s current picture as recorded (without brightness or mirroring)</translation>
    </message>
</context>
<context>
    <name>PlayerActions</name>
    <message>
        <source>MP4 파일 열기</source>
        <translation>Open MP4 file</translation>
    </message>
    <message>
        <source>일시 정지</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>재생</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>10초 뒤로</source>
        <translation>Back 10 seconds</translation>
    </message>
    <message>
        <source>10초 앞으로</source>
        <translation>Forward 10 seconds</translation>
    </message>
    <message>
        <source>한 프레임 뒤로</source>
        <translation>One frame back</translation>
    </message>
    <message>
        <source>한 프레임 앞으로</source>
        <translation>One frame forward</translation>
    </message>
    <message>
        <source>느리게</source>
        <translation>slower</translation>
    </message>
    <message>
        <source>빠르게</source>
        <translation>faster</translation>
    </message>
    <message>
        <source>증거 영상 시작 지점 표시</source>
        <translation>Mark the clip&apos;s start</translation>
    </message>
    <message>
        <source>증거 영상 끝 지점 표시</source>
        <translation>Mark the clip&apos;s end</translation>
    </message>
</context>
<context>
    <name>QuestionDialog</name>
    <message>
        <source>예</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>아니오</source>
        <translation>No</translation>
    </message>
</context>
<context>
    <name>QuitDialog</name>
    <message>
        <source>종료 하시겠습니까?</source>
        <translation>Do you want to quit?</translation>
    </message>
</context>
<context>
    <name>RecordSettingsSection</name>
    <message>
        <source>설정</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>시스템 볼륨</source>
        <translation>System volume</translation>
    </message>
    <message>
        <source>사용안함</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>최대</source>
        <translation>Max</translation>
    </message>
    <message>
        <source>이벤트 감도</source>
        <translation>Event sensitivity</translation>
    </message>
    <message>
        <source>둔감</source>
        <translation>Low</translation>
    </message>
    <message>
        <source>민감</source>
        <translation>High</translation>
    </message>
    <message>
        <source>모션 감도</source>
        <translation>Motion sensitivity</translation>
    </message>
    <message>
        <source>음성 녹음</source>
        <translation>Audio recording</translation>
    </message>
    <message>
        <source>음성 안내</source>
        <translation>Voice guidance</translation>
    </message>
    <message>
        <source>효과음</source>
        <translation>Sound effects</translation>
    </message>
</context>
<context>
    <name>ReleaseDialog</name>
    <message>
        <source>앱이 업데이트 되었습니다.</source>
        <translation>The app has been updated.</translation>
    </message>
</context>
<context>
    <name>RightPanel</name>
    <message>
        <source>위에서 채널이나 지도를 고르세요.</source>
        <translation>Choose a channel or the map above.</translation>
    </message>
</context>
<context>
    <name>SalvageDialog</name>
    <message>
        <source>손상된 영상입니다.</source>
        <translation>This recording is damaged.</translation>
    </message>
</context>
<context>
    <name>SaveFolderDialog</name>
    <message>
        <source>저장할 폴더를 선택하세요.</source>
        <translation>Choose a folder to save to.</translation>
    </message>
</context>
<context>
    <name>SeekControlBar</name>
    <message>
        <source>두 번 누르면 GPS 기록(location.txt)을 SD 카드에 저장합니다</source>
        <translation>Double-click to save the GPS log (location.txt) to the SD card</translation>
    </message>
    <message>
        <source>충격 감지: 5초 전부터 재생</source>
        <translation>Shock: play from 5 s before it</translation>
    </message>
</context>
<context>
    <name>SettingsLayout</name>
    <message>
        <source>설정 초기화</source>
        <translation>Reset settings</translation>
    </message>
    <message>
        <source>저장</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>설정을 저장하지 못했습니다.</source>
        <translation>Could not save the settings.</translation>
    </message>
    <message>
        <source>확인</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>카드에 저장해 둔 설정을 보여 줍니다. 블랙박스는 다음에 켜질 때 이 설정을 적용합니다.</source>
        <translation>These are the settings saved on the card. The dashcam applies them the next time it starts.</translation>
    </message>
    <message>
        <source>취소</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>SettingsWindow</name>
    <message>
        <source>블랙박스 설정</source>
        <translation>Dashcam settings</translation>
    </message>
</context>
<context>
    <name>StorageSection</name>
    <message>
        <source>저장 공간 (%)</source>
        <translation>Storage (%)</translation>
    </message>
    <message>
        <source>보관 2GB</source>
        <translation>Saved: 2 GB</translation>
    </message>
    <message>
        <source>주행 녹화</source>
        <translation>Driving recording</translation>
    </message>
    <message>
        <source>이벤트 녹화</source>
        <translation>Event recording</translation>
    </message>
    <message>
        <source>주차 녹화</source>
        <translation>Parking recording</translation>
    </message>
    <message>
        <source>수동 녹화</source>
        <translation>Manual recording</translation>
    </message>
    <message>
        <source>주행우선</source>
        <translation>Driving first</translation>
    </message>
    <message>
        <source>주행우선2</source>
        <translation>Driving first 2</translation>
    </message>
    <message>
        <source>이벤트우선</source>
        <translation>Event first</translation>
    </message>
    <message>
        <source>주차우선</source>
        <translation>Parking first</translation>
    </message>
</context>
<context>
    <name>VersionSection</name>
    <message>
        <source>버전 정보</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>모델명</source>
        <translation>Model</translation>
    </message>
    <message>
        <source>펌웨어</source>
        <translation>Firmware</translation>
    </message>
    <message>
        <source>안전운전 DB 버전</source>
        <translation>Safety DB version</translation>
    </message>
</context>
<context>
    <name>VideoLayout</name>
    <message>
        <source>목록에서 녹화 영상을 선택하세요.</source>
        <translation>Select a recording from the list.</translation>
    </message>
</context>
<context>
    <name>WebMap</name>
    <message>
        <source>지도 그림은 인터넷에 연결되어 있을 때 보입니다. 경로와 차의 위치는 그대로 표시됩니다.</source>
        <translation>Map tiles show when the computer is online. The route and the car&apos;s position are shown either way.</translation>
    </message>
</context>
<context>
    <name>WifiSection</name>
    <message>
        <source>암호</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>* SSID는 4-14자, 암호는 8-10자 이여야 합니다.</source>
        <translation>* The SSID must be 4-14 characters and the password 8-10 characters.</translation>
    </message>
    <message>
        <source>* 문자 형식은 영문, 숫자, 특수문자(!, -, _)만 허용합니다.</source>
        <translation>* Only English letters, digits and the special characters (!, -, _) are allowed.</translation>
    </message>
</context>
<context>
    <name>korvane::AppViewModel</name>
    <message>
        <source>설정을 SD 카드에 저장했습니다. 블랙박스는 다음에 켜질 때 이 설정을 적용합니다.</source>
        <translation>The settings were saved to the SD card. The dashcam applies them when it next starts.</translation>
    </message>
</context>
<context>
    <name>korvane::Clips</name>
    <message>
        <source>채널%1 영상이 없는 녹화파일입니다.</source>
        <translation>This recording has no channel %1 video.</translation>
    </message>
    <message>
        <source>증거 영상 만드는 중... %1%</source>
        <translation>Making the evidence clip... %1%</translation>
    </message>
    <message>
        <source>자막에 쓸 한글 글꼴이 없어 증거 영상을 만들지 못했습니다. fonts-noto-cjk 를 설치해 주세요.</source>
        <translation>No font with Hangul for the caption was found, so the clip was not made. Please install fonts-noto-cjk.</translation>
    </message>
    <message>
        <source>증거 영상 %1 을(를) 저장하지 못했습니다.</source>
        <translation>The evidence clip %1 could not be saved.</translation>
    </message>
    <message>
        <source>이 영상에는 GPS 기록이 없어 경로를 저장하지 않았습니다.</source>
        <translation>This recording has no GPS log: no route was saved.</translation>
    </message>
    <message>
        <source>GPS 경로(%1)를 저장하지 못했습니다.</source>
        <translation>The GPS route (%1) could not be saved.</translation>
    </message>
    <message>
        <source>증거 영상 %1 을(를) %2에 저장했습니다.</source>
        <translation>Saved the evidence clip %1 in %2.</translation>
    </message>
    <message>
        <source>GPS 경로(%1)를 %2에 저장했습니다.</source>
        <translation>Saved the GPS route (%1) in %2.</translation>
    </message>
    <message>
        <source>증거 영상: 모든 카메라를 한 화면에 나란히 (어느 플레이어에서나 재생)</source>
        <translation>Evidence clip: every camera side by side in one picture (plays in any player)</translation>
    </message>
    <message>
        <source>증거 영상: 전방 카메라를 크게, 다른 카메라는 작게 (어느 플레이어에서나 재생)</source>
        <translation>Evidence clip: the front camera large, the others inset (plays in any player)</translation>
    </message>
    <message>
        <source>증거 영상: 카메라마다 영상 트랙 하나 (녹화된 그대로)</source>
        <translation>Evidence clip: one video track per camera (as recorded)</translation>
    </message>
    <message>
        <source>증거 영상 %1 을(를) %2에 저장했지만 보고서는 쓰지 못했습니다.</source>
        <translation>Saved the evidence clip %1 in %2, but the report could not be written.</translation>
    </message>
    <message>
        <source>증거 영상 %1 과(와) 보고서 %2 를 %3에 저장했습니다.</source>
        <translation>Saved the evidence clip %1 and the report %2 in %3.</translation>
    </message>
</context>
<context>
    <name>korvane::Downloads</name>
    <message>
        <source>채널%1 영상이 없는 녹화파일입니다.</source>
        <translation>This recording has no channel %1 video.</translation>
    </message>
    <message>
        <source>총 %1 중 %2 개 영상 다운로드 중...</source>
        <translation>Downloading recording %2 of %1...</translation>
    </message>
    <message>
        <source>%1 파일을 저장하지 못했습니다.</source>
        <translation>Could not save %1.</translation>
    </message>
    <message>
        <source>다운로드할 영상을 목록에서 체크해 주세요.</source>
        <translation>Tick the recordings to download in the list.</translation>
    </message>
    <message>
        <source>저장할 폴더의 빈 공간이 모자라 %1개 중 %2개만 저장합니다. 공간을 비우거나 다른 폴더를 골라 나머지를 다시 다운로드해 주세요.</source>
        <translation>The folder has too little free space: only %2 of %1 recordings are saved. Free some space or choose another folder, then download the rest again.</translation>
    </message>
    <message>
        <source>다운로드 중에 SD 카드가 빠져 멈췄습니다. %1개 중 %2개는 저장되어 있습니다. 카드를 다시 넣고 나머지를 다시 다운로드해 주세요.</source>
        <translation>The SD card was taken out during the download, so it stopped. %2 of %1 recordings are saved. Insert the card again and download the rest.</translation>
    </message>
    <message>
        <source>작업 폴더의 빈 공간이 모자라 %1개 중 %2개만 저장했습니다.</source>
        <translation>The working folder has too little free space: only %2 of %1 recordings were saved.</translation>
    </message>
    <message>
        <source>%1 은(는) 카드에 있는 그대로 저장했지만, 재생할 수 있는 영상으로 복구하지 못했습니다.</source>
        <translation>%1 was saved as the card holds it, but could not be rebuilt into a recording that plays.</translation>
    </message>
</context>
<context>
    <name>korvane::FolderBrowser</name>
    <message>
        <source>폴더 이름으로 쓸 수 없습니다.</source>
        <translation>That cannot be a folder name.</translation>
    </message>
    <message>
        <source>같은 이름이 이미 있습니다.</source>
        <translation>Something with that name is already there.</translation>
    </message>
    <message>
        <source>폴더를 만들 수 없습니다.</source>
        <translation>The folder could not be created.</translation>
    </message>
</context>
<context>
    <name>korvane::NowPlaying</name>
    <message>
        <source>SD 카드에 저장하지 못했습니다.</source>
        <translation>Could not save to the SD card.</translation>
    </message>
    <message>
        <source>GPS 데이터(location.txt)를 SD 카드에 저장했습니다.</source>
        <translation>The GPS data (location.txt) was saved to the SD card.</translation>
    </message>
    <message>
        <source>G-Sensor 데이터(gsensor.txt)를 SD 카드에 저장했습니다.</source>
        <translation>The G-Sensor data (gsensor.txt) was saved to the SD card.</translation>
    </message>
    <message>
        <source>사진을 저장하지 못했습니다.</source>
        <translation>The snapshots could not be saved.</translation>
    </message>
</context>
<context>
    <name>korvane::RecordingLibrary</name>
    <message>
        <source>SD 카드를 읽지 못했습니다. %1</source>
        <translation>The SD card could not be read. %1</translation>
    </message>
    <message>
        <source>상시</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>이벤트</source>
        <translation>Event</translation>
    </message>
    <message>
        <source>주차</source>
        <translation>Parking</translation>
    </message>
    <message>
        <source>수동</source>
        <translation>Manual</translation>
    </message>
    <message>
        <source>보관</source>
        <translation>Saved</translation>
    </message>
    <message>
        <source>전체</source>
        <translation>All</translation>
    </message>
</context>
<context>
    <name>korvane::RecordingOpener</name>
    <message>
        <source>영상 다운로드 중입니다. 잠시만 기다려주세요.</source>
        <translation>Downloading recordings. Please wait.</translation>
    </message>
    <message>
        <source>영상 파일이 손상되어 정상적으로 재생할 수 없습니다.</source>
        <translation>The video file is damaged and cannot be played properly.</translation>
    </message>
    <message>
        <source>%1 의 일부가 손상되어 카드에서 그대로 읽을 수 없습니다. 읽을 수 있는 부분만 가져와 재생할까요?</source>
        <translation>Part of %1 is damaged and cannot be read from the card as it is. Play the parts that can be read?</translation>
    </message>
    <message>
        <source>손상된 영상에서 읽을 수 있는 부분을 가져오는 중입니다.</source>
        <translation>Reading what can be read of the damaged recording.</translation>
    </message>
    <message>
        <source>영상 %1 MB 중 %2 MB를 읽지 못해 그 부분은 비워 두었습니다.</source>
        <translation>%2 MB of the recording&apos;s %1 MB could not be read and were left empty.</translation>
    </message>
</context>
<context>
    <name>korvane::SaveFolders</name>
    <message>
        <source>%1 을(를) %2에 저장했습니다.</source>
        <translation>Saved %1 in %2.</translation>
    </message>
    <message>
        <source>%1개 파일을 %2에 저장했습니다.</source>
        <translation>Saved %1 files in %2.</translation>
    </message>
</context>
<context>
    <name>korvane::ScreenLayout</name>
    <message>
        <source>지도</source>
        <translation>Map</translation>
    </message>
</context>
<context>
    <name>korvane::SettingsViewModel</name>
    <message>
        <source>Wi-Fi 이름</source>
        <translation>Wi-Fi name</translation>
    </message>
    <message>
        <source>Wi-Fi 비밀번호</source>
        <translation>Wi-Fi password</translation>
    </message>
    <message>
        <source>%1에는 줄바꿈이나 &apos;=&apos;를 쓸 수 없습니다.</source>
        <translation>%1 cannot contain line breaks or &apos;=&apos;.</translation>
    </message>
    <message>
        <source>SD 카드에 설정을 저장하지 못했습니다.</source>
        <translation>Could not save the settings to the SD card.</translation>
    </message>
</context>
<context>
    <name>korvane::ToolSet</name>
    <message>
        <source>작업 폴더 %1 은(는) 본인만 쓸 수 있는 폴더가 아니어서 카드를 읽지 않았습니다. 다른 사용자가 만들었거나 링크로 바뀐 폴더입니다.</source>
        <translation>The card was not read because the work folder %1 is not writable by you alone. Another user created it, or it was replaced by a link.</translation>
    </message>
    <message>
        <source>도구 폴더 %1 은(는) 본인만 쓸 수 있는 폴더가 아니어서 사용할 수 없습니다. 다른 사용자가 만들었거나 링크로 바뀐 폴더입니다.</source>
        <translation>The tool folder %1 cannot be used because it is not writable by you alone. Another user created it, or it was replaced by a link.</translation>
    </message>
    <message>
        <source>SD 카드를 읽을 수 없습니다. Korvane 패키지를 설치하고 plugdev 그룹에 속하거나, 디스크 서비스 udisks2를 설치해 주세요. (%1)</source>
        <translation>SD cards cannot be read. Install the Korvane package and join the group plugdev, or install the disk service udisks2. (%1)</translation>
    </message>
    <message>
        <source>Korvane에 필요한 프로그램 %1 이(가) 없습니다. %2 에서 찾지 못했습니다. Korvane을 다시 설치해 주세요.</source>
        <translation>Korvane needs the program %1, which is missing: it was not found at %2. Please install Korvane again.</translation>
    </message>
    <message>
        <source>Korvane에 필요한 프로그램 %1 을(를) %2 에 복사하지 못했습니다.</source>
        <translation>Korvane could not copy the program %1 it needs into %2.</translation>
    </message>
</context>
<context>
    <name>korvane::VersionManager</name>
    <message>
        <source>최신 버전: %1 (%2)

현재 버전: %3 (%4)

다운로드 페이지로 이동하시겠습니까?</source>
        <translation>Latest version: %1 (%2)

Current version: %3 (%4)

Go to the download page?</translation>
    </message>
</context>
</TS>
