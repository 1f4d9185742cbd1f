// A scope left unsettled by a body past the depth bound is not walked
// again: nested classes each walked again walked the ones within them
// again, twice per level, and a program of 40 of them below a chain of
// 220 template instances never finished.
class U { // expect warning 324: 已定义但不使用的对象.
    T0<int> start;
};
class T0<X> { T1<X> next; };
class T1<X> { T2<X> next; };
class T2<X> { T3<X> next; };
class T3<X> { T4<X> next; };
class T4<X> { T5<X> next; };
class T5<X> { T6<X> next; };
class T6<X> { T7<X> next; };
class T7<X> { T8<X> next; };
class T8<X> { T9<X> next; };
class T9<X> { T10<X> next; };
class T10<X> { T11<X> next; };
class T11<X> { T12<X> next; };
class T12<X> { T13<X> next; };
class T13<X> { T14<X> next; };
class T14<X> { T15<X> next; };
class T15<X> { T16<X> next; };
class T16<X> { T17<X> next; };
class T17<X> { T18<X> next; };
class T18<X> { T19<X> next; };
class T19<X> { T20<X> next; };
class T20<X> { T21<X> next; };
class T21<X> { T22<X> next; };
class T22<X> { T23<X> next; };
class T23<X> { T24<X> next; };
class T24<X> { T25<X> next; };
class T25<X> { T26<X> next; };
class T26<X> { T27<X> next; };
class T27<X> { T28<X> next; };
class T28<X> { T29<X> next; };
class T29<X> { T30<X> next; };
class T30<X> { T31<X> next; };
class T31<X> { T32<X> next; };
class T32<X> { T33<X> next; };
class T33<X> { T34<X> next; };
class T34<X> { T35<X> next; };
class T35<X> { T36<X> next; };
class T36<X> { T37<X> next; };
class T37<X> { T38<X> next; };
class T38<X> { T39<X> next; };
class T39<X> { T40<X> next; };
class T40<X> { T41<X> next; };
class T41<X> { T42<X> next; };
class T42<X> { T43<X> next; };
class T43<X> { T44<X> next; };
class T44<X> { T45<X> next; };
class T45<X> { T46<X> next; };
class T46<X> { T47<X> next; };
class T47<X> { T48<X> next; };
class T48<X> { T49<X> next; };
class T49<X> { T50<X> next; };
class T50<X> { T51<X> next; };
class T51<X> { T52<X> next; };
class T52<X> { T53<X> next; };
class T53<X> { T54<X> next; };
class T54<X> { T55<X> next; };
class T55<X> { T56<X> next; };
class T56<X> { T57<X> next; };
class T57<X> { T58<X> next; };
class T58<X> { T59<X> next; };
class T59<X> { T60<X> next; };
class T60<X> { T61<X> next; };
class T61<X> { T62<X> next; };
class T62<X> { T63<X> next; };
class T63<X> { T64<X> next; };
class T64<X> { T65<X> next; };
class T65<X> { T66<X> next; };
class T66<X> { T67<X> next; };
class T67<X> { T68<X> next; };
class T68<X> { T69<X> next; };
class T69<X> { T70<X> next; };
class T70<X> { T71<X> next; };
class T71<X> { T72<X> next; };
class T72<X> { T73<X> next; };
class T73<X> { T74<X> next; };
class T74<X> { T75<X> next; };
class T75<X> { T76<X> next; };
class T76<X> { T77<X> next; };
class T77<X> { T78<X> next; };
class T78<X> { T79<X> next; };
class T79<X> { T80<X> next; };
class T80<X> { T81<X> next; };
class T81<X> { T82<X> next; };
class T82<X> { T83<X> next; };
class T83<X> { T84<X> next; };
class T84<X> { T85<X> next; };
class T85<X> { T86<X> next; };
class T86<X> { T87<X> next; };
class T87<X> { T88<X> next; };
class T88<X> { T89<X> next; };
class T89<X> { T90<X> next; };
class T90<X> { T91<X> next; };
class T91<X> { T92<X> next; };
class T92<X> { T93<X> next; };
class T93<X> { T94<X> next; };
class T94<X> { T95<X> next; };
class T95<X> { T96<X> next; };
class T96<X> { T97<X> next; };
class T97<X> { T98<X> next; };
class T98<X> { T99<X> next; };
class T99<X> { T100<X> next; };
class T100<X> { T101<X> next; };
class T101<X> { T102<X> next; };
class T102<X> { T103<X> next; };
class T103<X> { T104<X> next; };
class T104<X> { T105<X> next; };
class T105<X> { T106<X> next; };
class T106<X> { T107<X> next; };
class T107<X> { T108<X> next; };
class T108<X> { T109<X> next; };
class T109<X> { T110<X> next; };
class T110<X> { T111<X> next; };
class T111<X> { T112<X> next; };
class T112<X> { T113<X> next; };
class T113<X> { T114<X> next; };
class T114<X> { T115<X> next; };
class T115<X> { T116<X> next; };
class T116<X> { T117<X> next; };
class T117<X> { T118<X> next; };
class T118<X> { T119<X> next; };
class T119<X> { T120<X> next; };
class T120<X> { T121<X> next; };
class T121<X> { T122<X> next; };
class T122<X> { T123<X> next; };
class T123<X> { T124<X> next; };
class T124<X> { T125<X> next; };
class T125<X> { T126<X> next; };
class T126<X> { T127<X> next; };
class T127<X> { T128<X> next; };
class T128<X> { T129<X> next; };
class T129<X> { T130<X> next; };
class T130<X> { T131<X> next; };
class T131<X> { T132<X> next; };
class T132<X> { T133<X> next; };
class T133<X> { T134<X> next; };
class T134<X> { T135<X> next; };
class T135<X> { T136<X> next; };
class T136<X> { T137<X> next; };
class T137<X> { T138<X> next; };
class T138<X> { T139<X> next; };
class T139<X> { T140<X> next; };
class T140<X> { T141<X> next; };
class T141<X> { T142<X> next; };
class T142<X> { T143<X> next; };
class T143<X> { T144<X> next; };
class T144<X> { T145<X> next; };
class T145<X> { T146<X> next; };
class T146<X> { T147<X> next; };
class T147<X> { T148<X> next; };
class T148<X> { T149<X> next; };
class T149<X> { T150<X> next; };
class T150<X> { T151<X> next; };
class T151<X> { T152<X> next; };
class T152<X> { T153<X> next; };
class T153<X> { T154<X> next; };
class T154<X> { T155<X> next; };
class T155<X> { T156<X> next; };
class T156<X> { T157<X> next; };
class T157<X> { T158<X> next; };
class T158<X> { T159<X> next; };
class T159<X> { T160<X> next; };
class T160<X> { T161<X> next; };
class T161<X> { T162<X> next; };
class T162<X> { T163<X> next; };
class T163<X> { T164<X> next; };
class T164<X> { T165<X> next; };
class T165<X> { T166<X> next; };
class T166<X> { T167<X> next; };
class T167<X> { T168<X> next; };
class T168<X> { T169<X> next; };
class T169<X> { T170<X> next; };
class T170<X> { T171<X> next; };
class T171<X> { T172<X> next; };
class T172<X> { T173<X> next; };
class T173<X> { T174<X> next; };
class T174<X> { T175<X> next; };
class T175<X> { T176<X> next; };
class T176<X> { T177<X> next; };
class T177<X> { T178<X> next; };
class T178<X> { T179<X> next; };
class T179<X> { T180<X> next; };
class T180<X> { T181<X> next; };
class T181<X> { T182<X> next; };
class T182<X> { T183<X> next; };
class T183<X> { T184<X> next; };
class T184<X> { T185<X> next; };
class T185<X> { T186<X> next; };
class T186<X> { T187<X> next; };
class T187<X> { T188<X> next; };
class T188<X> { T189<X> next; };
class T189<X> { T190<X> next; };
class T190<X> { T191<X> next; };
class T191<X> { T192<X> next; };
class T192<X> { T193<X> next; };
class T193<X> { T194<X> next; };
class T194<X> { T195<X> next; };
class T195<X> { T196<X> next; };
class T196<X> { T197<X> next; };
class T197<X> { T198<X> next; };
class T198<X> { T199<X> next; };
class T199<X> { T200<X> next; };
class T200<X> { T201<X> next; };
class T201<X> { T202<X> next; };
class T202<X> { T203<X> next; };
class T203<X> { T204<X> next; };
class T204<X> { T205<X> next; };
class T205<X> { T206<X> next; };
class T206<X> { T207<X> next; };
class T207<X> { T208<X> next; };
class T208<X> { T209<X> next; };
class T209<X> { T210<X> next; };
class T210<X> { T211<X> next; };
class T211<X> { T212<X> next; };
class T212<X> { T213<X> next; };
class T213<X> { T214<X> next; };
class T214<X> { T215<X> next; };
class T215<X> { T216<X> next; };
class T216<X> { T217<X> next; };
class T217<X> { T218<X> next; };
class T218<X> { T219<X> next; };
class T219<X> { T220<X> next; };
class T220<X> {
class C0 {
class C1 {
class C2 {
class C3 {
class C4 {
class C5 {
class C6 {
class C7 {
class C8 {
class C9 {
class C10 {
class C11 {
class C12 {
class C13 {
class C14 {
class C15 {
class C16 {
class C17 {
class C18 {
class C19 {
class C20 {
class C21 {
class C22 {
class C23 {
class C24 {
class C25 {
class C26 {
class C27 {
class C28 {
class C29 {
class C30 {
class C31 {
class C32 {
class C33 { // expect error: 展开过大,编译器堆栈空间不足.
class C34 {
class C35 {
class C36 {
class C37 {
class C38 {
class C39 {
X v;
};
};
};
};
};
};
};
};
};
};
};
};
};
};
};
};
};
};
};
};
};
};
};
};
};
};
};
};
};
};
};
};
};
};
};
};
};
};
};
};
};
